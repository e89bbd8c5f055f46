#!/usr/bin/env bash
# The program on native Wayland (Weston in the private Xvfb); Qt's debug lines
# tell when it has the keyboard, any other output fails. Asked for Wayland:
# Start, a right answer, Esc, no leak. Falling back from an X11 display that
# does not answer: a block a preloaded library leaks at exit is the one counted.
source "$(dirname "$0")/lib.sh"
start_xvfb
start_weston
setup_appdir
LOGGING=(QT_LOGGING_RULES=qt.qpa.wayland.debug=true 'QT_MESSAGE_PATTERN=%{type} %{category}: %{message}')
ACTIVE='^debug qt.qpa.wayland: .*configure.*WindowActive'
expect_quiet() { ! grep -v '^debug ' "$WORK/app.log" || fail "$1: the program printed that"; }
write_words "$APPDIR/word.txt" "0ネコ,cat"
printf '[SOFT]\r\nPLAYSOUND=N\r\nb4file=word.txt\r\nb4dir=%s/\r\n' "$APPDIR" >"$APPDIR/kobeli.ini"
launch_app QT_QPA_PLATFORM=wayland "${LOGGING[@]}"
wait_log 1 "$ACTIVE"
answer "cat"
key Escape
wait_exit
expect_quiet "asked for Wayland"
expect_words "$APPDIR/word.txt" "1ネコ,cat" "the right answer"
[[ ! -e $WORK/leaks ]] || fail "a leak reported on Wayland: $(cat "$WORK/leaks")"
dead=0; while [[ -e /tmp/.X11-unix/X$dead ]] || grep -q "@/tmp/.X11-unix/X$dead\$" /proc/net/unix; do ((dead += 1)); done
launch_app DISPLAY=":$dead" LD_PRELOAD="$BIN/../leakcheck-tests/libleak_at_exit.so" "${LOGGING[@]}"
wait_log 1 "$ACTIVE"
key Escape
wait_exit
expect_quiet "fallback to Wayland"
[[ $(cat "$WORK/leaks" 2>/dev/null) == 1 ]] || fail "the leak report counted: $(cat "$WORK/leaks" 2>/dev/null)"
echo "PASS"
