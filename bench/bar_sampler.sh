#!/usr/bin/env bash
# What a user sees of the time bar, read off a private Xvfb about every
# millisecond over whole questions (vevez_bar_sampler): the distinct widths
# against the ticks that give one (100 at a 1 s limit), and how long after
# its tick each first showed. Several fresh runs.
# Usage: bench/bar_sampler.sh [build/bin] [runs] [limit in ticks]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
RUNS=${2:-3}
LIMIT=${3:-100}
[[ -x $BIN/vevez_bar_sampler ]] || { echo "no $BIN/vevez_bar_sampler (build the benchmarks)"; exit 1; }
source "$(dirname "$0")/xvfb-env.sh"
printf '0q,a\r\n' >"$WORK/word.txt"
printf '[SOFT]\r\nSPEED=%d\r\nPLAYSOUND=N\r\n' "$LIMIT" >"$WORK/kobeli.ini"
for _ in $(seq "$RUNS"); do
  cp "$WORK/word.txt" "$WORK/word.bak"
  (cd "$WORK" && exec ./vevez >/dev/null 2>&1) &
  PID=$!
  WIN=$(timeout 20 xdotool search --sync --onlyvisible --name '^Z&Uプログラム$' | head -n1)
  xdotool windowfocus --sync "$WIN"
  sleep 0.5
  "$BIN/vevez_bar_sampler" "$WIN" "$LIMIT" &
  SAMPLER=$!
  sleep 0.2
  xdotool key F9
  wait "$SAMPLER" || echo "the sampler saw no bar"
  kill -9 "$PID"
  wait "$PID" 2>/dev/null || true
  PID=
  mv "$WORK/word.bak" "$WORK/word.txt"
done
