#!/usr/bin/env bash
# Through the real AT-SPI bus (own D-Bus session): the board is a label; the
# question (at Start, each new one), each judgement, the time-out and the answer
# the user asks to see appear as
# notifications while the focus stays in the answer box; the word editor's
# grid names its columns; the options dialog's spinner has a name, a role and
# a value, and tells when it changes.
[[ -n ${VEVEZ_OWN_SESSION_BUS:-} ]] || exec env VEVEZ_OWN_SESSION_BUS=1 timeout 150 dbus-run-session -- bash "$0" "$@"
source "$(dirname "$0")/lib.sh"
start_xvfb
setup_appdir
write_words "$APPDIR/word.txt" $'0ネコ,cat\n0トラ,cat;tiger'
printf '[SOFT]\r\nSPEED=150\r\nPLAYSOUND=N\r\nb4file=word.txt\r\nb4dir=%s/\r\n' "$APPDIR" >"$APPDIR/kobeli.ini"
/usr/bin/python3 "$(dirname "$0")/../support/atspi_events.py" 60 >"$WORK/events" 2>&1 &
listener=$! && trap 'kill "$listener" 2>/dev/null || true; cleanup' EXIT
wait_log 1 '^ready$' "$WORK/events"
start_app QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
answer "x"   # wrong; then the 1.5 s run out, Enter asks the next question, "cat" is right
sleep 2; key Return
type_text "cat"
key Return
sleep 0.5
key shift+Tab space Tab        # 答えを見る, from the keyboard, and back to the answer box
sleep 0.3
key ctrl+p
wait_window '^単語の追加削除$' >/dev/null || fail "no word editor"
sleep 1
key Escape
focus_main
key alt+e
key o                          # 設定(&O)...: the spinner has the focus
wait_window '^各種設定$' >/dev/null || fail "no options dialog"
sleep 0.5
key Up
sleep 0.5
key Escape
focus_main
key Escape
wait_exit
announced=$(sed -n 's/^object:state-changed:showing|notification|\(.*\)|1$/\1/p' "$WORK/events" | tr '\n' '/')
[[ $announced =~ ^問題:\ (ネコ|トラ)/不正解:\ x/時間切れ、答え:\ cat(\;tiger)?/問題:\ (ネコ|トラ)/正解:\ cat/答え:\ cat(\;tiger)?/$ ]] ||
  fail "announced: $announced; events: $(cat "$WORK/events")"
grep -q '^tree|label|問題: ' "$WORK/events" || fail "the board is no label: $(cat "$WORK/events")"
[[ $(grep '^focus:' "$WORK/events" | tail -n1) == 'focus:|text|答え|'* ]] || fail "focus: $(grep '^focus:' "$WORK/events")"
grep -q '^table|印|問題|答え$' "$WORK/events" || fail "the word grid's columns: $(grep -A3 '^tree|table' "$WORK/events")"
grep -q '^tree|spin button|制限秒数$' "$WORK/events" || fail "the spinner: $(grep -i spin "$WORK/events")"
grep -q '^object:property-change:accessible-value|spin button|制限秒数|2\.0$' "$WORK/events" ||
  fail "the spinner's change (1 s up to 2 s): $(grep -i spin "$WORK/events")"
echo "PASS"
