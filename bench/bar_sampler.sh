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
quiz_setup "$LIMIT"
for _ in $(seq "$RUNS"); do
  quiz_start
  "$BIN/vevez_bar_sampler" "$WIN" "$LIMIT" &
  SAMPLER=$!
  sleep 0.2
  xdotool key F9
  wait "$SAMPLER" || echo "the sampler saw no bar"
  quiz_end
done
