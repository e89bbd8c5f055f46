#!/usr/bin/env bash
# Prints the CPU time the program spends while a quiz runs, over one
# question's whole time limit (default: the program's default of 10 s, so
# the bar is drawn all the way from blue to red), in several fresh runs
# under a private Xvfb. A limit longer than the measurement (LIMIT larger
# than SECONDS) times the bare timer with a bar that barely moves. Beside
# each run, vevez_wake_floor measures what a process that does nothing but
# wake every 10 ms costs the machine at that moment: on a virtual machine
# that floor alone varies from run to run. Ends with the mean and the
# highest share over the runs. Each run also counts the program's wakes: the
# times any of its threads went to sleep and was woken again (its voluntary
# context switches), per second. After each run, vevez_bare_bar, a bare Qt
# window whose 10 ms timer repaints a bar of the same limit and nothing
# else, runs as long on the same display: the figure the program is held to.
# Usage: bench/tick_cpu.sh [build/bin] [seconds] [runs] [limit in ticks]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
SECS=${2:-10}
RUNS=${3:-3}
LIMIT=${4:-1000}
for helper in vevez_wake_floor vevez_bare_bar; do
  [[ -x $BIN/$helper ]] || { echo "no $BIN/$helper (build the benchmarks)"; exit 1; }
done
source "$(dirname "$0")/xvfb-env.sh"
quiz_setup "$LIMIT"
# CPU time of all the program's threads, in nanoseconds.
cpu() { cat /proc/$PID/task/*/schedstat | awk '{ s += $1 } END { print s }'; }
# How often its threads have slept and been woken.
wakes() { cat /proc/$PID/task/*/status | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s }'; }
for _ in $(seq "$RUNS"); do
  quiz_start
  "$BIN/vevez_wake_floor" "$SECS" >"$WORK/floor" &
  FLOOR=$!
  c0=$(cpu)
  w0=$(wakes)
  t0=$(date +%s%N)
  xdotool key F9
  # Just short of the limit, so that the time-out's cue and cross are not in it.
  sleep "$(awk -v s="$SECS" 'BEGIN { print s - 0.05 }')"
  c1=$(cpu)
  w1=$(wakes)
  t1=$(date +%s%N)
  quiz_end
  wait "$FLOOR"
  share=$(awk -v c=$((c1 - c0)) -v ns=$((t1 - t0)) 'BEGIN { printf "%.2f", 100 * c / ns }')
  rate=$(awk -v w=$((w1 - w0)) -v ns=$((t1 - t0)) 'BEGIN { printf "%.1f", w * 1e9 / ns }')
  floor=$(awk '{ printf "%.2f", 100 * $1 / $2 }' "$WORK/floor")
  # The bare Qt bar, alone on the display, as long and with the same limit.
  "$BIN/vevez_bare_bar" "$(awk -v s="$SECS" 'BEGIN { print s - 0.05 }')" "$LIMIT" >"$WORK/bare" 2>/dev/null
  bare=$(awk '{ printf "%.2f", 100 * $1 / $2 }' "$WORK/bare")
  bareRate=$(awk '{ printf "%.1f", $3 * 1e9 / $2 }' "$WORK/bare")
  echo "$share $floor $rate $bare $bareRate" >>"$WORK/runs"
  awk -v c=$((c1 - c0)) -v ns=$((t1 - t0)) -v l="$LIMIT" -v p="$share" -v f="$floor" -v r="$rate" -v b="$bare" -v br="$bareRate" \
    'BEGIN { printf "running quiz, limit %d ticks: %.1f ms CPU in %.2f s = %s%% of one core, %s wakes/s; bare Qt bar: %s%%, %s wakes/s (waking every 10 ms alone: %s%%)\n", l, c / 1e6, ns / 1e9, p, r, b, br, f }'
done
awk '{ s += $1; f += $2; w += $3; b += $4; bw += $5; if ($1 > m) m = $1; if ($2 > mf) mf = $2; if ($3 > mw) mw = $3 }
  END { printf "%d runs: mean %.2f%%, highest %.2f%% of one core; wakes/s mean %.1f, highest %.1f; bare Qt bar: mean %.2f%%, %.1f wakes/s; program / bare bar %.2f (waking every 10 ms alone: mean %.2f%%, highest %.2f%%)\n", NR, s / NR, m, w / NR, mw, b / NR, bw / NR, s / b, f / NR, mf }' "$WORK/runs"
