#!/usr/bin/env bash
# Prints the time from starting the program to the first map of a window (the
# box that names the settings file, or the main window) and the resident
# memory, with a small kobeli.ini and with one of 1 GiB (VZ_INI_MIB), in
# alternating runs of a fresh process under a private Xvfb. The settings file
# is read only up to 1 MiB: a larger one costs a look at its size.
# Usage: bench/big_settings.sh [build/bin] [runs]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
RUNS=${2:-5}
[[ -x $BIN/vevez_map_wait ]] || { echo "no $BIN/vevez_map_wait (build the benchmarks)"; exit 1; }
source "$(dirname "$0")/xvfb-env.sh"
for c in small huge; do
  mkdir -p "$WORK/$c"
  cp "$WORK/vevez" "$WORK/vevez-leakbox" "$WORK/$c/"
  printf '0\x83\x6c\x83\x52,cat\r\n' >"$WORK/$c/word.txt"
done
printf '[SOFT]\r\nSPEED=1000\r\n' >"$WORK/small/kobeli.ini"
# Real bytes, not a hole: what a runaway writer would have left.
{ printf '[SOFT]\r\nSPEED=1000\r\n'; head -c "$((${VZ_INI_MIB:-1024} << 20))" /dev/zero | tr '\0' 'x'; } \
  >"$WORK/huge/kobeli.ini"
time_first_maps "$RUNS" small huge
for c in small huge; do
  printf '%-28s median %7.1f ms to first map (runs: %s); RSS %d KiB\n' \
    "kobeli.ini of $(($(stat -c %s "$WORK/$c/kobeli.ini") / 1024)) KiB" "$(median <<<"${map_ms[$c]}")" "${map_ms[$c]}" "${map_rss[$c]}"
done
