#!/usr/bin/env bash
# The program on native Wayland (Weston in the private Xvfb). Qt's debug lines
# about its Wayland windows tell when a window has the keyboard; every other
# line the program prints is a failure.
# 1. Asked for Wayland: Start, a right answer, Esc: no leak reported, status
#    0. Then a file opened through the file dialog.
# 2. Falling back from an X11 display that does not answer: nothing printed;
#    a block leaked at exit is still reported, and counted exactly.
source "$(dirname "$0")/lib.sh"
start_xvfb
start_weston
setup_appdir
LOGGING=(QT_LOGGING_RULES=qt.qpa.wayland.debug=true 'QT_MESSAGE_PATTERN=%{type} %{category}: %{message}')
ACTIVE='^debug qt.qpa.wayland: .*configure.*WindowActive'

expect_quiet() {
  local other
  other=$(grep -v '^debug ' "$WORK/app.log" || true)
  [[ -z $other ]] || fail "$1: the program printed: $other"
}

write_words "$APPDIR/word.txt" "0ネコ,cat"
write_words "$APPDIR/other.txt" "0イヌ,dog"
printf '[SOFT]\r\nPLAYSOUND=N\r\nb4file=word.txt\r\nb4dir=%s/\r\n' "$APPDIR" >"$APPDIR/kobeli.ini"
launch_app QT_QPA_PLATFORM=wayland "${LOGGING[@]}"
wait_log 1 "$ACTIVE"
answer "cat"
key Escape
wait_exit
expect_quiet "asked for Wayland"
expect_words "$APPDIR/word.txt" "1ネコ,cat" "the right answer"
[[ ! -e $WORK/leaks ]] || fail "a leak reported on Wayland: $(cat "$WORK/leaks")"

# The file dialog, where Weston puts it, opens another file. Weston gives the
# keyboard back to the main window without Qt seeing it active again, so
# the program is ended by a signal, which saves as Esc does.
launch_app QT_QPA_PLATFORM=wayland "${LOGGING[@]}"
wait_log 1 "$ACTIVE"
key ctrl+o
wait_log 2 "$ACTIVE"
sleep 0.5
type_text "$APPDIR/other.txt"
key Return
sleep 0.5
kill -TERM "$APP_PID"
wait_exit
expect_quiet "the file dialog"
grep -q $'^b4file=other.txt\r$' "$APPDIR/kobeli.ini" || fail "the file dialog did not open other.txt"

# No X server answers on this display, so the program goes to Wayland. A
# library preloaded into it leaks one block at exit: the report counts that
# block, and only that one.
dead=0
while [[ -e /tmp/.X11-unix/X$dead ]] || grep -q "@/tmp/.X11-unix/X$dead\$" /proc/net/unix; do ((dead += 1)); done
launch_app DISPLAY=":$dead" LD_PRELOAD="$BIN/../leakcheck-tests/libleak_at_exit.so" "${LOGGING[@]}"
wait_log 1 "$ACTIVE"
key Escape
wait_exit
expect_quiet "fallback to Wayland"
[[ $(cat "$WORK/leaks" 2>/dev/null) == 1 ]] || fail "the leak report counted: $(cat "$WORK/leaks" 2>/dev/null)"
echo "PASS"
