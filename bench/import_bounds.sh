#!/usr/bin/env bash
# Prints the wall time, peak memory and outcome of `vevez --import` on
# sources whose size has nothing to do with the words in them, a fresh
# process each, as a user meets them:
#   - a 4 GiB sparse file (all NUL bytes, larger than a word file may be),
#     and one a byte shorter, the largest source taken,
#   - a 20 MB CSV record of 10 million columns,
#   - a .kvtml file whose one text node holds 500 MB,
#   - 200 MB of NUL bytes.
# Each run is stopped after LIMIT seconds (default 60) and may use at most
# 8 GB of address space, so that an unbounded import cannot take the machine.
# Usage: bench/import_bounds.sh [build/bin] [LIMIT]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
LIMIT=${2:-60}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

truncate -s 4G "$WORK/sparse.csv"
truncate -s $((4 * 1024 * 1024 * 1024 - 1)) "$WORK/sparse-1.csv"
{ printf 'q'; head -c 20000000 /dev/zero | tr '\0' ',' | sed 's/,,/,a/g'; printf '\n'; } >"$WORK/columns.csv"
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<kvtml version="2.0"><identifiers>'
  printf '<identifier id="0"><name>a</name></identifier><identifier id="1"><name>b</name></identifier>'
  printf '</identifiers><entries><entry id="0"><translation id="0"><text>'
  head -c 500000000 /dev/zero | tr '\0' 'x'
  printf '</text></translation><translation id="1"><text>y</text></translation></entry>'
  printf '<entry id="1"><translation id="0"><text>cat</text></translation>'
  printf '<translation id="1"><text>neko</text></translation></entry></entries></kvtml>\n'
} >"$WORK/node.kvtml"
head -c 200000000 /dev/zero >"$WORK/nul.txt"

for f in sparse.csv sparse-1.csv columns.csv node.kvtml nul.txt; do
  cat "$WORK/$f" >/dev/null  # in the page cache, as a file just saved is
  rm -f "$WORK/out.txt"
  rc=0
  (ulimit -v 8000000; exec /usr/bin/time -f '%e %M' -o "$WORK/time" timeout "$LIMIT" \
    "$BIN/vevez" --import "$WORK/$f" "$WORK/out.txt") >/dev/null 2>"$WORK/err" || rc=$?
  read -r secs kib < <(tail -1 "$WORK/time") || { secs=?; kib=0; }
  what=$(grep -v '^Command' "$WORK/err" | head -1 | sed "s|$WORK/||g" || true)
  [[ $rc == 124 ]] && what="stopped after $LIMIT s"
  awk -v n="$f" -v s="$(stat -c %s "$WORK/$f")" -v t="$secs" -v k="$kib" -v rc="$rc" -v w="$what" 'BEGIN {
    printf "%-12s %10.1f MB: %6s s, peak memory %8.1f MB, exit %3s  %s\n", n, s / 1e6, t, k * 1024 / 1e6, rc, w }'
done
