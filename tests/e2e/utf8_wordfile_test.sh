#!/usr/bin/env bash
# A UTF-8 word file is drilled and written back in UTF-8: the Japanese answer
# typed matches its line, and only that line's state mark changes in the file.
source "$(dirname "$0")/lib.sh"
start_xvfb
setup_appdir
printf '0いぬ,犬\r\n;メモ,ノート\r\n' > "$APPDIR/word.txt"
printf '[SOFT]\r\nSPEED=100000\r\nPLAYSOUND=N\r\n' > "$APPDIR/kobeli.ini"

start_app
answer_and_quit "犬"
iconv -f UTF-8 -t UTF-8 "$APPDIR/word.txt" >/dev/null || fail "the word file is no longer valid UTF-8"
cmp -s "$APPDIR/word.txt" <(printf '1いぬ,犬\r\n;メモ,ノート\r\n') ||
  fail "the line was not marked, or more changed: $(od -c "$APPDIR/word.txt")"
echo "PASS"
