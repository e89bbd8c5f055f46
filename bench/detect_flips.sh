#!/usr/bin/env bash
# Marks every line of the EDICT word file, in code page 932, UTF-8 and
# EUC-JP, as a file of its own (with its state mark and without it), and
# shows that the encoding it is taken for never changes. UTF-16 is decided
# by its byte-order mark, which marking never touches.
# Usage: bench/detect_flips.sh [build/bin] [EDICT word file]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
EDICT=${2:-/tmp/edict-words.txt}
[[ -f $EDICT ]] || { echo "no word file at $EDICT (make it with make-wordfile.sh)"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
iconv -f CP932 -t UTF-8 "$EDICT" >"$WORK/utf8.txt"
iconv -f CP932 -t EUC-JP "$EDICT" >"$WORK/euc-jp.txt" 2>/dev/null || iconv -c -f CP932 -t EUC-JP "$EDICT" >"$WORK/euc-jp.txt"
status=0
for f in "$EDICT" "$WORK/utf8.txt" "$WORK/euc-jp.txt"; do
  "$BIN/vevez_detect_flips" "$f" || status=1
done
exit $status
