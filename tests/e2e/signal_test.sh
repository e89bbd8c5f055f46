#!/usr/bin/env bash
# SIGTERM, SIGINT and SIGHUP end the program through its normal shutdown:
# settings written, progress saved, exit status 0.
source "$(dirname "$0")/lib.sh"
start_xvfb
setup_appdir
for sig in TERM INT HUP; do
  write_words "$APPDIR/word.txt" "0ネコ,cat"
  rm -f "$APPDIR/kobeli.ini"
  start_app
  key F9
  type_text "cat"
  key Return
  kill -s "$sig" "$APP_PID"
  wait_exit
  [[ $(read_words "$APPDIR/word.txt") == "1ネコ,cat" ]] || fail "SIG$sig lost the progress"
  grep -q '^b4file=word.txt' "$APPDIR/kobeli.ini" || fail "SIG$sig: no settings written"
done
echo "PASS"
