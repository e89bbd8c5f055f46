#!/usr/bin/env bash
# Word files in UTF-8, EUC-JP and UTF-16LE (with its byte-order mark) are
# drilled and written back in their own encoding: the Japanese answer typed
# matches its line, and only that line's state mark changes in the file.
source "$(dirname "$0")/lib.sh"
start_xvfb
setup_appdir
printf '[SOFT]\r\nSPEED=100000\r\nPLAYSOUND=N\r\n' > "$APPDIR/kobeli.ini"

for enc in UTF-8 EUC-JP UTF-16LE; do
  bom=""
  [[ $enc == UTF-16LE ]] && bom='\xff\xfe'
  { printf "$bom"; printf '0いぬ,犬\r\n;メモ,ノート\r\n' | iconv -f UTF-8 -t "$enc"; } > "$APPDIR/word.txt"
  start_app
  answer_and_quit "犬"
  cmp -s "$APPDIR/word.txt" <(printf "$bom"; printf '1いぬ,犬\r\n;メモ,ノート\r\n' | iconv -f UTF-8 -t "$enc") ||
    fail "$enc: the line was not marked, or more changed: $(od -c "$APPDIR/word.txt")"
done
echo "PASS"
