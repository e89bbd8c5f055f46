#!/usr/bin/env bash
# What a screen reader hears through the real AT-SPI bus (a D-Bus session of
# its own, the accessibility bus it starts, an event listener): the board is
# static text, and the question (at the start and each new one), each
# judgement and the time-out appear as notifications while the keyboard focus
# stays in the answer box.
if [[ -z ${VEVEZ_OWN_SESSION_BUS:-} ]]; then
  exec env VEVEZ_OWN_SESSION_BUS=1 timeout 150 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
start_xvfb
setup_appdir
# Either question accepts "cat"; 1.5 s per question.
write_words "$APPDIR/word.txt" $'0ネコ,cat\n0トラ,cat;tiger'
printf '[SOFT]\r\nSPEED=150\r\nPLAYSOUND=N\r\nb4file=word.txt\r\nb4dir=%s/\r\n' "$APPDIR" >"$APPDIR/kobeli.ini"

/usr/bin/python3 "$(dirname "$0")/../support/atspi_events.py" 60 >"$WORK/events" 2>&1 &
EXTRA_PIDS+=($!)
for _ in $(seq 100); do grep -qs '^ready$' "$WORK/events" && break; sleep 0.1; done
grep -q '^ready$' "$WORK/events" || fail "the AT-SPI listener did not start: $(cat "$WORK/events")"

start_app QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
answer "x"       # wrong
sleep 2          # the time-out
key Return       # the next question
type_text "cat"
key Return       # right
sleep 0.5
key Escape
wait_exit
sleep 0.5
kill "${EXTRA_PIDS[@]}" 2>/dev/null || true

announced=$(sed -n 's/^object:state-changed:showing|notification|\(.*\)|1$/\1/p' "$WORK/events" | tr '\n' '/')
[[ $announced =~ ^問題:\ (ネコ|トラ)/不正解:\ x/時間切れ、答え:\ cat(\;tiger)?/問題:\ (ネコ|トラ)/正解:\ cat/$ ]] ||
  fail "announced: $announced; events: $(cat "$WORK/events")"
grep -q '^tree|label|問題: ' "$WORK/events" ||
  fail "the board is no label: $(cat "$WORK/events")"
[[ $(grep '^focus:' "$WORK/events" | tail -n1) == 'focus:|text|答え|'* ]] ||
  fail "the focus left the answer box: $(grep '^focus:' "$WORK/events")"
echo "PASS"
