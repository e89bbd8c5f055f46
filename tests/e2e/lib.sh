# Shared helpers for the end-to-end tests: a private Xvfb, a scratch copy of
# the program's directory, and xdotool to drive the real program.
# Usage: source lib.sh <build/bin>
set -euo pipefail

BIN=$(cd "$1" && pwd)
WORK=$(mktemp -d /tmp/vevez-e2e.XXXXXX)
APPDIR=$WORK/bin
APP_PID=
XVFB_PID=
WESTON_PID=
MAIN_TITLE='^Z&Uプログラム$'

cleanup() {
  [[ -n $APP_PID ]] && kill -9 "$APP_PID" 2>/dev/null || true
  [[ -n $WESTON_PID ]] && kill "$WESTON_PID" 2>/dev/null && wait "$WESTON_PID" 2>/dev/null || true
  [[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null || true
  if [[ ${KEEP_WORK:-0} == 1 ]]; then echo "work dir kept: $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [[ -f $WORK/app.log ]] && { echo "--- program output ---" >&2; cat "$WORK/app.log" >&2; }
  exit 1
}

source "$(dirname "${BASH_SOURCE[0]}")/../support/xvfb.sh"
start_xvfb() { xvfb_start "$WORK" || fail "Xvfb did not start"; }

# Weston (X11 back end: it takes xdotool's keys; no on-screen keyboard, which
# would take them) in the private Xvfb, with WAYLAND_DISPLAY and XDG_RUNTIME_DIR.
start_weston() {
  export XDG_RUNTIME_DIR=$WORK/runtime WAYLAND_DISPLAY=vevez-e2e
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  printf '[input-method]\npath=\n' >"$WORK/weston.ini"
  weston --backend=x11-backend.so --socket="$WAYLAND_DISPLAY" --use-pixman --idle-time=0 \
    --config="$WORK/weston.ini" --width=800 --height=600 >"$WORK/weston.log" 2>&1 &
  WESTON_PID=$!
  wait_log 1 launching "$WORK/weston.log"
  WIN=$(timeout 10 xdotool search --sync --class '^Weston Compositor$' | head -n1) || fail "no weston window"
  focus_main
}

# wait_log COUNT REGEX [FILE]: waits (10 s at most) for COUNT lines like REGEX
# in FILE, the program's output by default.
wait_log() {
  for _ in $(seq 100); do [[ $(grep -c -- "$2" "${3:-$WORK/app.log}" 2>/dev/null) -ge $1 ]] && return 0; sleep 0.1; done
  fail "never $1 line(s) like $2 in ${3:-the program output}"
}

# The program's directory as a user has it: program, sounds; no settings
# file unless a test writes one. The leak report's box is replaced by a
# stand-in that records the count in $WORK/leaks, so that a test about other
# things never waits on it; LEAKBOX=real keeps the real one.
setup_appdir() {
  mkdir -p "$APPDIR"
  cp "$BIN/vevez" "$APPDIR/"
  for f in yes.wav no.wav timeup.wav allok.wav; do
    [[ -e $BIN/$f ]] && cp "$BIN/$f" "$APPDIR/"
  done
  if [[ ${LEAKBOX:-stand-in} == real ]]; then
    cp "$BIN/vevez-leakbox" "$APPDIR/"
  else
    printf '#!/bin/sh\necho "$1" >> "%s/leaks"\n' "$WORK" > "$APPDIR/vevez-leakbox"
    chmod +x "$APPDIR/vevez-leakbox"
  fi
}

# Writes UTF-8 text (lines separated by \n) as a code page 932 file with CR LF.
write_words() {
  local path=$1 text=$2
  printf '%s\n' "$text" | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 > "$path"
}

# Reads a code page 932 word file as UTF-8 with LF line ends.
read_words() { iconv -f CP932 -t UTF-8 < "$1" | tr -d '\r'; }
# expect_words FILE LINES WHAT: the word file holds LINES, or the test fails.
expect_words() {
  local got
  got=$(read_words "$1")
  [[ $got == "$2" ]] || fail "$3: $(basename "$1") is: $got"
}

# Starts the program without waiting for its window; arguments go to env.
launch_app() {
  (cd "$APPDIR" && exec env -u QT_QPA_PLATFORM "$@" "$APPDIR/vevez" >"$WORK/app.log" 2>&1) &
  APP_PID=$!
}

# start_app [ENV...]: launch_app, then waits for the main window.
start_app() {
  launch_app "$@"
  WIN=$(timeout 20 xdotool search --sync --onlyvisible --name "$MAIN_TITLE" | head -n1) ||
    fail "main window did not appear"
  focus_main
}

focus_main() {
  xdotool windowfocus --sync "$WIN" 2>/dev/null || xdotool windowfocus "$WIN"
  sleep 0.2
}

# In an open-file dialog titled like the regex $1, types the path $2 and
# presses Return; prints nothing, fails when no dialog comes.
choose_file() {
  local dlg
  dlg=$(wait_window "$1") || fail "no file dialog titled $1"
  sleep 0.3
  xdotool windowfocus --sync "$dlg" 2>/dev/null || true
  type_text "$2"
  key Return
}

# After a dialog has closed: without a window manager Qt may still count the
# closed dialog as the active window, and then no shortcut reaches the main
# window; moving the focus away and back after a click (the board ignores
# clicks) makes it the active one again.
refocus_main() {
  xdotool mousemove --window "$WIN" 200 60 click 1
  sleep 0.3
  xdotool windowfocus --sync "$(xwininfo -root | grep -o '0x[0-9a-f]*' | head -n1)" 2>/dev/null || true
  sleep 0.3
  focus_main
}

key() { xdotool key --delay 60 "$@"; sleep 0.15; }
type_text() { xdotool type --delay 50 "$1"; sleep 0.15; }
# Start (F9), then $1 typed and Enter; answer_and_quit ends with Esc too.
answer() { key F9; type_text "$1"; key Return; }
answer_and_quit() { answer "$1"; key Escape; wait_exit; }

# Waits for a window whose title matches the regex; prints its id.
wait_window() { timeout "${2:-10}" xdotool search --sync --onlyvisible --name "$1" | head -n1; }

# Waits for a box whose title matches the regex, gives it the focus and
# presses `key` (Return by default) in it.
answer_box() {
  local box
  box=$(wait_window "$1" 10) || fail "no window titled $1"
  sleep 0.3
  xdotool windowfocus --sync "$box" 2>/dev/null || true
  sleep 0.2
  key "${2:-Return}"
}

# Waits until the program has ended; fails on a timeout or a non-zero status.
wait_exit() {
  local status=0
  for _ in $(seq 200); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$APP_PID" 2>/dev/null &&
    fail "program did not end; windows: $(xdotool search --onlyvisible --name '.' getwindowname %@ 2>/dev/null | tr '\n' '|')"
  wait "$APP_PID" || status=$?
  APP_PID=
  [[ $status -eq 0 ]] || fail "program ended with status $status"
}

screenshot() { import -window root "$1"; }
