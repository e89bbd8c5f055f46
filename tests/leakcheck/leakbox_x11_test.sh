#!/usr/bin/env bash
# vevez-leakbox on a real (virtual) X server: the box appears with its
# caption, stays until OK is pressed, and the leaking program that started it
# waits for it to close.
#   $1 = vevez-leakbox, $2 = the leak_program test executable
set -u
leakbox=$1
program=$2
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done

scratch=$(mktemp -d)
XVFB_PID=
box_pid=
cleanup() {
  [ -n "$box_pid" ] && kill "$box_pid" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
source "$(dirname "$0")/../support/checks.sh"

source "$(dirname "$0")/../support/xvfb.sh"
xvfb_start "$scratch" || { echo "FAIL: Xvfb did not start"; exit 1; }
unset QT_QPA_PLATFORM

caption='^メモリーリークエラー$'

find_box() {  # prints the window id of the box once it is visible
  timeout 15 xdotool search --sync --onlyvisible --name "$caption" 2>/dev/null | head -n1
}

press_ok() {  # the box's only button is the default: Return presses it
  xdotool windowfocus --sync "$1" 2>/dev/null
  xdotool key Return
}

finished_within() {  # finished_within PID SECONDS
  for _ in $(seq $((${2} * 10))); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}

# The helper on its own.
"$leakbox" 3 2>/dev/null &
box_pid=$!
win=$(find_box)
check "the box appears with its caption" "$([ -n "$win" ]; echo $?)" "no window named メモリーリークエラー"
sleep 0.3
check "the box waits for the user" "$(kill -0 $box_pid 2>/dev/null; echo $?)" "helper ended by itself"
[ -n "$win" ] && press_ok "$win"
if finished_within $box_pid 10; then
  wait $box_pid
  check "OK closes the box with success" "$?" "exit status $?"
else
  check "OK closes the box" 1 "helper still running"
fi
box_pid=

"$leakbox" >/dev/null 2>&1
check "no count is a usage error" "$([ $? = 2 ]; echo $?)" "helper accepted no argument"

# The whole chain: a leaking program with the real helper beside it.
cp "$leakbox" "$scratch/vevez-leakbox"
cp "$program" "$scratch/leak_program"
"$scratch/leak_program" leak3 >/dev/null 2>"$scratch/err" &
box_pid=$!
win=$(find_box)
check "a leaking program shows the box at exit" "$([ -n "$win" ]; echo $?)" "no box"
sleep 0.3
check "the program waits until the box is closed" "$(kill -0 $box_pid 2>/dev/null; echo $?)" \
  "program ended with the box open"
[ -n "$win" ] && press_ok "$win"
if finished_within $box_pid 10; then
  wait $box_pid
  status=$?
  check "the program then ends normally" "$([ $status = 0 ]; echo $?)" "status $status"
  check "without falling back to stderr" "$(! grep -q 'メモリーリークエラー' "$scratch/err"; echo $?)" \
    "stderr: $(cat "$scratch/err")"
else
  check "the program ends after OK" 1 "still running"
fi
box_pid=

checks_done
