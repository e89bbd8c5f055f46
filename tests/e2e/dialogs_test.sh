#!/usr/bin/env bash
# The options dialog and the word editor, opened from the menu with real key
# presses: the new time limit reaches kobeli.ini and the added pair reaches
# word.txt after exit.
source "$(dirname "$0")/lib.sh"
start_xvfb
setup_appdir
write_words "$APPDIR/word.txt" "0ネコ,cat"

start_app
key alt+e
key o                          # 設定(&O)...
wait_window '^各種設定$' >/dev/null || fail "no options dialog"
sleep 0.3
key Up Up Up                   # the spinner has the focus: 10 -> 13 seconds
key Return                     # OK is the default button

focus_main
key ctrl+p
ed=$(wait_window '^単語の追加削除$') || fail "no word editor"
sleep 0.3
key alt+q ctrl+a
type_text "イヌ"
key Return                     # moves on to the answer box
key ctrl+a
type_text "dog;hound"
key Return                     # adds the pair, and must not close the dialog
xdotool search --onlyvisible --name '^単語の追加削除$' >/dev/null || fail "Enter closed the editor"
# OK sits at the bottom left of the page.
eval "$(xdotool getwindowgeometry --shell "$ed")"
xdotool mousemove --window "$ed" 37 $((HEIGHT - 14)) click 1
sleep 0.3
xdotool search --onlyvisible --name '^単語の追加削除$' >/dev/null && fail "OK did not close the editor"

focus_main
key Escape
wait_exit
grep -q $'^SPEED=1300\r$' "$APPDIR/kobeli.ini" || fail "kobeli.ini: $(cat -A "$APPDIR/kobeli.ini")"
expect_words "$APPDIR/word.txt" $'0ネコ,cat\n0イヌ,dog;hound' "after the run"
echo "PASS"
