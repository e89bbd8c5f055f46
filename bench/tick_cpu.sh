#!/usr/bin/env bash
# Prints the CPU time the program spends over 10 s of a running quiz with the
# history at rest (100 timer ticks a second), under a private Xvfb.
# Usage: bench/tick_cpu.sh [build/bin] [seconds]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
SECS=${2:-10}
source "$(dirname "$0")/xvfb-env.sh"
printf '0q,a\r\n' > "$WORK/word.txt"
# A limit longer than the measurement, so no time-out falls inside it.
printf '[SOFT]\r\nSPEED=%d\r\nPLAYSOUND=N\r\n' $(( (SECS + 5) * 100 )) > "$WORK/kobeli.ini"
(cd "$WORK" && exec ./vevez >/dev/null 2>&1) &
PID=$!
WIN=$(timeout 20 xdotool search --sync --onlyvisible --name '^Z&Uプログラム$' | head -n1)
xdotool windowfocus --sync "$WIN"; sleep 0.2
xdotool key F9
sleep 1   # the history's first slide is over
# CPU time of all the program's threads, in nanoseconds.
cpu() { cat /proc/$PID/task/*/schedstat | awk '{ s += $1 } END { print s }'; }
c0=$(cpu); t0=$(date +%s%N)
sleep "$SECS"
c1=$(cpu); t1=$(date +%s%N)
awk -v c=$((c1 - c0)) -v ns=$((t1 - t0)) \
  'BEGIN { printf "running quiz: %.1f ms CPU in %.1f s = %.2f%% of one core\n", c / 1e6, ns / 1e9, 100 * c / ns }'
