#!/usr/bin/env bash
# Prints the time from starting the program to its first shown window, and
# its peak RSS, with no word file and with a big word file (default: the
# EDICT word file from make-wordfile.sh). Runs under a private Xvfb.
# Usage: bench/startup.sh [build/bin] [word file] [runs]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
BIG=${2:-/tmp/edict-words.txt}
RUNS=${3:-10}
[[ -f $BIG ]] || { echo "no word file at $BIG (make it with make-wordfile.sh)"; exit 1; }
source "$(dirname "$0")/xvfb-env.sh"

measure() {  # prints "ms rss_kb"
  local t0 pid ms rss
  t0=$(date +%s%N)
  (cd "$WORK" && exec ./vevez >"$WORK/out.log" 2>&1) &
  pid=$!
  for _ in $(seq 5000); do
    xdotool search --onlyvisible --name "^Z&Uプログラム$" >/dev/null 2>&1 && break
    sleep 0.002
  done
  ms=$(( ($(date +%s%N) - t0) / 1000000 ))
  sleep 0.3
  rss=$(awk "/VmHWM/ {print \$2}" "/proc/$pid/status" 2>/dev/null) || { wait "$pid"; echo "program ended early (status $?):" >&2; cat "$WORK/out.log" >&2; exit 1; }
  kill -9 "$pid"; wait "$pid" 2>/dev/null || true
  echo "$ms $rss"
}

report() {  # label
  local all=() rss=0
  for _ in $(seq "$RUNS"); do
    read -r ms r < <(measure)
    all+=("$ms"); rss=$r
  done
  median=$(printf '%s\n' "${all[@]}" | sort -n | sed -n "$(( (RUNS + 1) / 2 ))p")
  printf '%-28s median %4d ms to first window (runs: %s); peak RSS %d KiB\n' "$1" "$median" "${all[*]}" "$rss"
}

rm -f "$WORK/word.txt"; report "no word file"
cp "$BIG" "$WORK/word.txt"; report "$(wc -l < "$BIG") lines, $(( $(stat -c %s "$BIG") / 1024 )) KiB"
