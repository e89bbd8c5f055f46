#!/usr/bin/env bash
# Prints the time from starting the program to the first map of its window,
# as an X event (bench/map_wait.cpp, no polling), and its resident memory,
# for a one-line word file and a big word file (default: the EDICT word file
# from make-wordfile.sh), in alternating runs under a private Xvfb.
# Usage: bench/startup.sh [build/bin] [word file] [runs]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
BIG=${2:-/tmp/edict-words.txt}
RUNS=${3:-11}
[[ -f $BIG ]] || { echo "no word file at $BIG (make it with make-wordfile.sh)"; exit 1; }
[[ -x $BIN/vevez_map_wait ]] || { echo "no $BIN/vevez_map_wait (build the benchmarks)"; exit 1; }
source "$(dirname "$0")/xvfb-env.sh"

# One directory per case, each with its own copy of the program beside its
# word file; the program is killed, so it never saves over them.
for c in small big; do
  mkdir -p "$WORK/$c"
  cp "$WORK/vevez" "$WORK/vevez-leakbox" "$WORK/$c/"
done
printf '0\x83\x6c\x83\x52,cat\r\n' > "$WORK/small/word.txt"
cp "$BIG" "$WORK/big/word.txt"

time_first_maps "$RUNS" small big
m_small=$(median <<<"${map_ms[small]}")
m_big=$(median <<<"${map_ms[big]}")
minimum() { tr ' ' '\n' | grep . | sort -n | head -n1; }
printf '%-30s median %6.1f ms to first map, fastest %6.1f (runs: %s); RSS %d KiB\n' "one-line word file" \
  "$m_small" "$(minimum <<<"${map_ms[small]}")" "${map_ms[small]}" "${map_rss[small]}"
printf '%-30s median %6.1f ms to first map, fastest %6.1f (runs: %s); RSS %d KiB\n' \
  "$(wc -l <"$BIG") lines, $(($(stat -c %s "$BIG") / 1024)) KiB" "$m_big" "$(minimum <<<"${map_ms[big]}")" "${map_ms[big]}" "${map_rss[big]}"
awk -v a="$m_small" -v b="$m_big" -v ra="${map_rss[small]}" -v rb="${map_rss[big]}" \
  'BEGIN { printf "the big file adds %.1f ms (%+.0f%%) and %d KiB of memory\n", b - a, 100 * (b - a) / a, rb - ra }'
