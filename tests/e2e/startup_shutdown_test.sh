#!/usr/bin/env bash
# Start, answer with real key presses, end with Esc: the settings file holds
# the four keys in order and the word file keeps the progress. Started as from a
# desktop entry: WM_CLASS vevez; mapped, it ends the start-up notification.
source "$(dirname "$0")/lib.sh"
start_xvfb
setup_appdir
write_words "$APPDIR/word.txt" "0ネコ,cat;kitty"

timeout 20 xev -root -event substructure -event property >"$WORK/root-events" 2>&1 &
sleep 0.3
start_app DESKTOP_STARTUP_ID=vevez-e2e-1_TIME0
[[ $(xprop -id "$WIN" WM_CLASS) == 'WM_CLASS(STRING) = "vevez", "vevez"' ]] || fail "$(xprop -id "$WIN" WM_CLASS)"
hex=$(printf '0x%x' "$WIN")
events=$(grep -oE "^(MapNotify|ClientMessage)|window $hex|_NET_STARTUP_INFO(_BEGIN)?" "$WORK/root-events" | tr '\n' ' ')
[[ $events == *"MapNotify window $hex ClientMessage _NET_STARTUP_INFO_BEGIN ClientMessage _NET_STARTUP_INFO "* ]] ||
  fail "start-up notification: $events"
# Not resizable: one size in the size hints, no resizing in the Motif hints.
hints=$(xprop -id "$WIN" WM_NORMAL_HINTS _MOTIF_WM_HINTS)
min=$(sed -n 's/.*minimum size: //p' <<<"$hints")
[[ -n $min && $min == "$(sed -n 's/.*maximum size: //p' <<<"$hints")" ]] || fail "resizable: $hints"
IFS=', ' read -r _ functions decorations _ <<<"$(sed -n 's/^_MOTIF_WM_HINTS.* = //p' <<<"$hints")"
((functions && !(functions & 2) && !(decorations & 4))) || fail "Motif hints allow resizing: $hints"
answer_and_quit "kitty"

expected=$(printf '[SOFT]\r\nSPEED=1000\r\nPLAYSOUND=Y\r\nb4file=word.txt\r\nb4dir=%s/\r\n[RECORDS]\r\nKEEP=Y\r\n' "$APPDIR")
[[ $(cat "$APPDIR/kobeli.ini") == "$expected" ]] || fail "kobeli.ini is: $(cat -A "$APPDIR/kobeli.ini")"
expect_words "$APPDIR/word.txt" "1ネコ,cat;kitty" "after the run"
[[ $(tail -c 2 "$APPDIR/word.txt" | od -An -tx1 | tr -d ' ') == 0d0a ]] || fail "word.txt lost its CR LF"

# A first run without a word file leaves a zero-length one; the next start
# must come up without an error box, and a word file copied into place while
# the program runs is never wiped by its empty list.
rm "$APPDIR/word.txt" "$APPDIR/kobeli.ini"
start_app
key Escape
wait_exit
[[ -f $APPDIR/word.txt && ! -s $APPDIR/word.txt ]] || fail "no empty word.txt after a run without one"
rm "$APPDIR/word.txt"
start_app
write_words "$APPDIR/word.txt" "0イヌ,dog"
key Escape
answer_box '^VeveZプログラム$'   # the notice that word.txt changed meanwhile
wait_exit
[[ $(read_words "$APPDIR/word.txt") == "0イヌ,dog" ]] || fail "a word file copied in meanwhile was overwritten"

start_app
sleep 0.5
if xdotool search --onlyvisible --name '^VeveZプログラム$' >/dev/null 2>&1; then fail "an error box at start-up"; fi
key Escape
wait_exit
# A word file deleted while the program runs is not created again at exit;
# a box says so.
mkdir "$WORK/words"
write_words "$WORK/words/w.txt" "0ネコ,cat"
printf '[SOFT]\r\nb4file=w.txt\r\nb4dir=%s/\r\n' "$WORK/words" > "$APPDIR/kobeli.ini"
start_app
rm "$WORK/words/w.txt"
key Escape
answer_box '^VeveZプログラム$'
wait_exit
[[ ! -e $WORK/words/w.txt ]] || fail "a deleted word file was created again"

# A word file that cannot be written at exit (files may not grow past 4 KiB
# here): the error box says so, the program still ends, and the list it could
# not save is reported by the leak check, since the shutdown stopped before
# releasing it.
for i in $(seq 300); do echo "0question$i,answer$i"; done | sed 's/$/\r/' > "$WORK/words/w.txt"
ulimit -S -f 4
start_app
ulimit -S -f unlimited
key Escape
answer_box '^VeveZプログラム$'
wait_exit
[[ $(wc -l < "$WORK/words/w.txt") == 300 ]] || fail "the word file was damaged by the failed save"
[[ -s $WORK/leaks && $(cat "$WORK/leaks") -gt 0 ]] || fail "no leak reported for the list that was not saved"
# No display at all: a plain message on standard error and status 1, not Qt's abort.
rc=0
env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY=none "$APPDIR/vevez" >/dev/null 2>"$WORK/nodisplay" || rc=$?
[[ $rc == 1 ]] && grep -q 'X サーバー (DISPLAY) にも Wayland コンポジター' "$WORK/nodisplay" ||
  fail "no display: status $rc, $(cat "$WORK/nodisplay")"
echo "PASS"
