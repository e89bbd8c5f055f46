#!/usr/bin/env bash
# Prints the time and peak memory of `vevez --import`, a fresh process per
# run as a user meets it: the EDICT pairs as a UTF-8 tab-separated file (as
# make-wordfile.sh writes them beside the word file), and a 200 MB CSV made
# of the same pairs with quoted fields. Median of the runs.
# Usage: bench/import.sh [build/bin] [EDICT pairs .csv] [runs]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
PAIRS=${2:-/tmp/edict-words.csv}
RUNS=${3:-5}
[[ -f $PAIRS ]] || { echo "no EDICT pairs at $PAIRS (make them with make-wordfile.sh)"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp "$PAIRS" "$WORK/edict.tsv"
sed 's/"/""/g; s/^/"/; s/\t/","/; s/$/"/' "$PAIRS" > "$WORK/one.csv"
while (($(stat -c %s "$WORK/big.csv" 2>/dev/null || echo 0) < 200000000)); do cat "$WORK/one.csv" >>"$WORK/big.csv"; done

for f in "$WORK/edict.tsv" "$WORK/big.csv"; do
  cat "$f" >/dev/null  # in the page cache
  secs=() kib=0
  for _ in $(seq "$RUNS"); do
    rm -f "$WORK/out.txt"
    read -r t kib < <(/usr/bin/time -f '%e %M' "$BIN/vevez" --import "$f" "$WORK/out.txt" 2>&1 >/dev/null | tail -1)
    secs+=("$t")
  done
  median=$(printf '%s\n' "${secs[@]}" | sort -n | sed -n "$(((${#secs[@]} + 1) / 2))p")
  awk -v n="$(basename "$f")" -v t="$median" -v k="$kib" -v s="$(stat -c %s "$f")" -v l="$(wc -l < "$WORK/out.txt")" 'BEGIN {
    printf "%-10s %8.1f MB, %8d pairs: import median %5.2f s, peak memory %7.1f MB (%.2fx the file)\n",
      n, s / 1e6, l, t, k * 1024 / 1e6, k * 1024 / s }'
done
