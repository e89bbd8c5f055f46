#!/usr/bin/env bash
# A drill with real key presses: a wrong answer marks nothing, a time-out
# closes the question, a right answer marks its line, and the end of a pass
# shows its box and makes every line askable again. A screenshot shows the
# board with its time bar.
source "$(dirname "$0")/lib.sh"
start_xvfb
setup_appdir
# One askable line and a comment; 0.5 s per question.
write_words "$APPDIR/word.txt" $'0ネコ,cat;kitty\n;コメント,comment'
printf '[SOFT]\r\nSPEED=50\r\nPLAYSOUND=N\r\n' > "$APPDIR/kobeli.ini"

start_app
key F9
sleep 0.25
screenshot "$WORK/running.png"
# The time bar is drawn (blue to purple) inside its frame, below the menu bar.
bar=$(convert "$WORK/running.png" -crop 1x1+50+112 -depth 8 txt:- | tail -n1 | grep -o '#[0-9A-F]\{6\}')
[[ $bar != "#FFFFFF" && $bar != "#000000" ]] || fail "no time bar on screen (pixel $bar)"
pixel() { convert "$WORK/running.png" -crop "1x1+$1+$2" -depth 8 txt:- | tail -n1 | grep -o '#[0-9A-F]\{6\}'; }
white=$(pixel 100 60)
[[ $white == "#FFFFFF" ]] || fail "board background is $white"
# Outside the board's rounded corners: the window's face, as beside the buttons.
face=$(pixel 2 152)
for corner in "0 19" "491 19" "0 132" "491 132"; do
  [[ $(pixel $corner) == "$face" ]] || fail "board corner at $corner is $(pixel $corner), not $face"
done

type_text "dog"
key Return            # wrong
sleep 0.8             # the question times out meanwhile
type_text "kitty"
key Return            # after a time-out: discarded, the next question comes
key Escape
wait_exit
expect_words "$APPDIR/word.txt" $'0ネコ,cat;kitty\n;コメント,comment' "a wrong answer or a time-out marked the line"

printf '[SOFT]\r\nSPEED=100000\r\nPLAYSOUND=N\r\n' > "$APPDIR/kobeli.ini"
start_app
answer "cat"            # right: marked
key Return            # nothing askable left: the end-of-pass box
# The box is centred on the 1024 x 768 screen at the size it is shown with.
box=$(wait_window '^情報$') || fail "no end-of-pass box"
read -r x y w h < <(xwininfo -id "$box" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
  /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
((2 * x + w - 1024 <= 2 && 1024 - 2 * x - w <= 2 && 2 * y + h - 768 <= 2 && 768 - 2 * y - h <= 2)) ||
  fail "end-of-pass box at $x,$y size ${w}x$h is not centred"
answer_box '^情報$'
focus_main
key Escape
wait_exit
expect_words "$APPDIR/word.txt" $'0ネコ,cat;kitty\n;コメント,comment' "the pass was not reset"

start_app
answer_and_quit "cat"
expect_words "$APPDIR/word.txt" $'1ネコ,cat;kitty\n;コメント,comment' "a right answer did not mark its line"
echo "PASS"
