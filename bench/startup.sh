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

measure() {  # prints "ms rss_kb", or nothing when the program did not come up
  local t0 pid ms rss
  t0=$(date +%s%N)
  (cd "$WORK" && exec ./vevez >"$WORK/out.log" 2>&1) &
  pid=$!
  for _ in $(seq 2000); do
    xdotool search --onlyvisible --name "^Z&Uプログラム$" >/dev/null 2>&1 && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.005
  done
  ms=$(( ($(date +%s%N) - t0) / 1000000 ))
  sleep 0.3
  if ! rss=$(awk "/VmHWM/ {print \$2}" "/proc/$pid/status" 2>/dev/null); then
    # Xvfb now and then refuses a connection when polled this often.
    echo "run dropped: $(head -c 200 "$WORK/out.log")" >&2
    return 0
  fi
  kill -9 "$pid"; wait "$pid" 2>/dev/null || true
  echo "$ms $rss"
}

report() {  # label
  local all=() rss=0
  for _ in $(seq "$RUNS"); do
    read -r ms r < <(measure) || continue
    all+=("$ms"); rss=$r
  done
  median=$(printf '%s\n' "${all[@]}" | sort -n | sed -n "$(( (${#all[@]} + 1) / 2 ))p")
  printf '%-28s median %4d ms to first window (runs: %s); peak RSS %d KiB\n' "$1" "$median" "${all[*]}" "$rss"
}

rm -f "$WORK/word.txt"; report "no word file"
cp "$BIG" "$WORK/word.txt"; report "$(wc -l < "$BIG") lines, $(( $(stat -c %s "$BIG") / 1024 )) KiB"
