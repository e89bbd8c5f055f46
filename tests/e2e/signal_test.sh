#!/usr/bin/env bash
# SIGTERM, SIGINT and SIGHUP end the program through its normal shutdown,
# whatever box is open: settings written, progress saved, exit status 0.
source "$(dirname "$0")/lib.sh"
start_xvfb
setup_appdir

# Waits for the end after `sig`; the word file must hold `expected`
# (a FIFO stays a FIFO).
ended_cleanly() {
  local sig=$1 expected=$2
  wait_exit
  if [[ -p $APPDIR/word.txt ]]; then
    rm "$APPDIR/word.txt"
  else
    expect_words "$APPDIR/word.txt" "$expected" "SIG$sig"
  fi
  grep -q '^b4file=word.txt' "$APPDIR/kobeli.ini" || fail "SIG$sig: no settings written"
  rm "$APPDIR/kobeli.ini"
}

# No box open.
write_words "$APPDIR/word.txt" "0ネコ,cat"
start_app
answer "cat"
kill -s TERM "$APP_PID"
ended_cleanly TERM "1ネコ,cat"

# The error box of start-up, before the main window is shown: a word file
# that cannot be read.
rm "$APPDIR/word.txt"
mkfifo "$APPDIR/word.txt"
launch_app
wait_window '^VeveZプログラム$' >/dev/null || fail "no error box at start-up"
kill -s INT "$APP_PID"
ended_cleanly INT fifo

# The end-of-pass box: the pass is reset, as after OK, and saved.
write_words "$APPDIR/word.txt" "$(printf '1イヌ,dog\n0ネコ,cat')"
start_app
answer "cat"
key Return
wait_window '^情報$' >/dev/null || fail "no end-of-pass box"
kill -s HUP "$APP_PID"
ended_cleanly HUP "$(printf '0イヌ,dog\n0ネコ,cat')"

# The word editor, after an answer: the editor's changes are dropped as on
# Cancel, the answer is kept.
write_words "$APPDIR/word.txt" "0ネコ,cat"
start_app
answer "cat"
key ctrl+p
wait_window '^単語の追加削除$' >/dev/null || fail "no word editor"
kill -s TERM "$APP_PID"
ended_cleanly TERM "1ネコ,cat"

# A word file that cannot be saved at the end (files may not grow past 4 KiB
# here): nobody may be there to close a box, so the error and the leak report
# of the list left unreleased go to standard error, and the program ends by
# itself with status 0, the leak box helper never started.
for i in $(seq 300); do echo "0question$i,answer$i"; done | sed 's/$/\r/' > "$APPDIR/word.txt"
ulimit -S -f 4
start_app
ulimit -S -f unlimited
kill -s TERM "$APP_PID"
wait_exit
grep -q 'ストリームへの書き込みエラー' "$WORK/app.log" || fail "SIGTERM: no save error on standard error"
grep -Eq 'メモリーリークエラー: [1-9][0-9]* 回' "$WORK/app.log" || fail "SIGTERM: no leak report on standard error"
[[ ! -e $WORK/leaks ]] || fail "SIGTERM: the leak box helper was started"
[[ $(wc -l < "$APPDIR/word.txt") == 300 ]] || fail "SIGTERM: the word file was damaged by the failed save"
echo "PASS"
