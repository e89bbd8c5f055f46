#!/usr/bin/env bash
# Prints the peak memory of loading a 200 MB word file (EDICT lines) and
# saving it over itself, in a fresh process per run, against the file's size.
# The file is copied anew for every run and is in the page cache, as a file
# used every day is.
# Usage: bench/save_memory.sh [build/bin] [EDICT word file] [runs]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
EDICT=${2:-/tmp/edict-words.txt}
RUNS=${3:-3}
[[ -f $EDICT ]] || { echo "no word file at $EDICT (make it with make-wordfile.sh)"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
while (($(stat -c %s "$WORK/big.txt" 2>/dev/null || echo 0) < 200000000)); do cat "$EDICT" >>"$WORK/big.txt"; done
truncate -s 200000000 "$WORK/big.txt"
for _ in $(seq "$RUNS"); do
  cp "$WORK/big.txt" "$WORK/w.txt"
  cat "$WORK/w.txt" >/dev/null
  "$BIN/vevez_save_once" "$WORK/w.txt"
done | sort -n -k2 | sed -n "$(((RUNS + 1) / 2))p" |
  awk '{ printf "save of a %.1f MiB file: peak memory %.1f MiB (%.2fx the file), median of the runs\n", $1, $2, $3 }'
