#!/usr/bin/env bash
# An ordinary session, driven with real key presses, leaves nothing for the
# leak report: start, Start, a right answer, a wrong answer, a time-out, the
# options dialog and the word editor opened and closed, another word file
# opened through the file dialog, Esc. It is repeated, since what a run
# leaves behind at exit can depend on how the threads of the GUI library end.
# The stand-in leak box of lib.sh appends every count it is started with to
# $WORK/leaks, so a clean series leaves no such file.
#   RUNS=n overrides the number of runs (5 by default).
source "$(dirname "$0")/lib.sh"
start_xvfb
setup_appdir
runs=${RUNS:-5}

# The Qt file dialog of the program has no caption of its own.
FILE_DIALOG_TITLE='^(Open|開く)$'

# open_and_escape TITLE WHAT: the window TITLE opens and Esc closes it.
open_and_escape() {
  wait_window "$1" >/dev/null || fail "run $n: no $2"
  sleep 0.2
  key Escape
  sleep 0.2
  if xdotool search --onlyvisible --name "$1" >/dev/null; then fail "run $n: Esc did not close the $2"; fi
}

# One run; $1 is its number, for the messages.
normal_run() {
  local n=$1
  # Either question accepts "cat", so the right answer does not depend on
  # which one comes first. 1.5 s per question.
  write_words "$APPDIR/word.txt" $'0ネコ,cat\n0トラ,cat;tiger'
  write_words "$APPDIR/other.txt" "0イヌ,dog"
  printf '[SOFT]\r\nSPEED=150\r\nPLAYSOUND=Y\r\nb4file=word.txt\r\nb4dir=%s/\r\n' "$APPDIR" \
    > "$APPDIR/kobeli.ini"

  start_app
  answer "cat"                      # right: the line is marked
  key Return                      # the next question
  type_text "xyz"
  key Return                      # wrong
  sleep 1.8                       # the question times out

  key alt+e
  key o                           # 設定(&O)...
  open_and_escape '^各種設定$' "options dialog"
  focus_main
  key ctrl+p
  open_and_escape '^単語の追加削除$' "word editor"

  focus_main
  key ctrl+o
  choose_file "$FILE_DIALOG_TITLE" "$APPDIR/other.txt"
  sleep 0.3
  xdotool search --onlyvisible --name "$FILE_DIALOG_TITLE" >/dev/null && fail "run $n: the file dialog stayed open"

  refocus_main
  key Escape
  wait_exit

  # The run did what it should: one line answered, the other file opened.
  local words
  words=$(read_words "$APPDIR/word.txt")
  [[ $(grep -c '^1' <<<"$words") == 1 ]] || fail "run $n: word.txt is: $words"
  grep -q $'^b4file=other.txt\r$' "$APPDIR/kobeli.ini" ||
    fail "run $n: the other file was not opened: $(cat -A "$APPDIR/kobeli.ini")"
  if [[ -e $WORK/leaks ]]; then
    fail "run $n: the leak report counted $(tr '\n' ' ' < "$WORK/leaks")block(s)"
  fi
}

for i in $(seq "$runs"); do normal_run "$i"; done
echo "PASS ($runs runs)"
