#!/usr/bin/env bash
# Prints the time and memory of loading word files, each in a fresh process
# per run (page faults included, which a warm benchmark loop never sees):
# the EDICT word file in each encoding a word file may be in (code page 932,
# UTF-8, EUC-JP, UTF-16LE with its byte-order mark), 5 million empty lines,
# and a 200 MB file made of EDICT lines. Median of the runs; memory as the
# process's growth. Ends with the UTF-8 load against the code page 932 one.
# Usage: bench/load.sh [build/bin] [EDICT word file] [runs]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
EDICT=${2:-/tmp/edict-words.txt}
RUNS=${3:-11}
[[ -f $EDICT ]] || { echo "no word file at $EDICT (make it with make-wordfile.sh)"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
iconv -f CP932 -t UTF-8 "$EDICT" >"$WORK/edict-utf8.txt"
iconv -c -f CP932 -t EUC-JP "$EDICT" >"$WORK/edict-euc-jp.txt"
{ printf '\xFF\xFE'; iconv -f CP932 -t UTF-16LE "$EDICT"; } >"$WORK/edict-utf16le.txt"
head -c 5000000 /dev/zero | tr '\0' '\n' >"$WORK/empty-lines.txt"
while (($(stat -c %s "$WORK/big.txt" 2>/dev/null || echo 0) < 200000000)); do cat "$EDICT" >>"$WORK/big.txt"; done
truncate -s 200000000 "$WORK/big.txt"

declare -A medians
for f in "$EDICT" "$WORK"/edict-{utf8,euc-jp,utf16le}.txt "$WORK/empty-lines.txt" "$WORK/big.txt"; do
  cat "$f" >/dev/null  # in the page cache, as a file used every day is
  ms=() cpu=() kib=0 lines=0
  for _ in $(seq "$RUNS"); do
    read -r t lines kib enc c < <("$BIN/vevez_load_once" "$f")
    ms+=("$t")
    cpu+=("$c")
  done
  median=$(printf '%s\n' "${ms[@]}" | sort -n | sed -n "$(((${#ms[@]} + 1) / 2))p")
  cpuMedian=$(printf '%s\n' "${cpu[@]}" | sort -n | sed -n "$(((${#cpu[@]} + 1) / 2))p")
  medians[$f]=$cpuMedian
  size=$(stat -c %s "$f")
  awk -v n="$(basename "$f")" -v e="$enc" -v m="$median" -v c="$cpuMedian" -v l="$lines" -v k="$kib" -v s="$size" 'BEGIN {
    printf "%-20s %-8s %9d lines %8.1f MB: load median %7.2f ms (processor %7.2f ms), memory %7.1f MB = file + %.1f bytes a line (%.2fx the file)\n",
      n, e, l, s / 1e6, m, c, k * 1024 / 1e6, (k * 1024 - s) / l, k * 1024 / s }'
done
awk -v u="${medians[$WORK/edict-utf8.txt]}" -v c="${medians[$EDICT]}" \
  'BEGIN { printf "UTF-8 load / code page 932 load, processor time: %.2f (at most 1.3 wanted)\n", u / c }'
