#!/usr/bin/env bash
# The leak report at exit, through the real start-up hook, exit handler and
# spawn of the helper. The program is copied into a scratch directory next
# to a stand-in vevez-leakbox that records what it was started with.
#   $1 = the leak_program test executable
set -u
program=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$program" "$scratch/leak_program"
source "$(dirname "$0")/../support/checks.sh"

# The stand-in writes its argument count and arguments, and only later that
# the "box" was closed: the report must wait for it.
install_standin() {
  cat >"$scratch/vevez-leakbox" <<STANDIN
#!/bin/sh
{ echo "\$#"; for a in "\$@"; do echo "\$a"; done; } >"$scratch/box.txt"
sleep 0.5
echo closed >>"$scratch/box.txt"
exit ${1:-0}
STANDIN
  chmod +x "$scratch/vevez-leakbox"
}

run() {  # run MODE: sets status, out, err
  rm -f "$scratch/box.txt"
  "$scratch/leak_program" "$1" >"$scratch/out" 2>"$scratch/err"
  status=$?
  err=$(cat "$scratch/err")
}

install_standin 0

run leak3
check "leak3 exits normally" "$([ $status = 0 ]; echo $?)" "status $status"
check "leak3 starts the box with the count 3 alone" \
  "$([ "$(cat "$scratch/box.txt" 2>/dev/null)" = "$(printf '1\n3\nclosed')" ]; echo $?)" \
  "box.txt: $(cat "$scratch/box.txt" 2>/dev/null | tr '\n' '|')"
check "leak3 prints nothing when the box was shown" "$([ -z "$err" ]; echo $?)" "stderr: $err"

run clean
check "clean exits normally" "$([ $status = 0 ]; echo $?)" "status $status"
check "clean run shows no box" "$([ ! -e "$scratch/box.txt" ]; echo $?)" \
  "box.txt: $(cat "$scratch/box.txt" 2>/dev/null | tr '\n' '|')"
check "clean run reports nothing" "$([ -z "$err" ]; echo $?)" "stderr: $err"

run negative
check "a count below zero shows no box" "$([ ! -e "$scratch/box.txt" ] && [ -z "$err" ]; echo $?)" \
  "box.txt exists or stderr: $err"

run exit7
check "the program's exit status survives the report" "$([ $status = 7 ]; echo $?)" "status $status"
check "std::exit still reports the leak" \
  "$([ "$(cat "$scratch/box.txt" 2>/dev/null)" = "$(printf '1\n1\nclosed')" ]; echo $?)" \
  "box.txt: $(cat "$scratch/box.txt" 2>/dev/null | tr '\n' '|')"

# A thread that is still ending when main returns gets to release what it
# holds before the count is read; one that never ends delays the exit only
# briefly, and its block is still reported.
run ending
check "a thread still ending at exit leaves no box" "$([ ! -e "$scratch/box.txt" ] && [ -z "$err" ]; echo $?)" \
  "box.txt: $(cat "$scratch/box.txt" 2>/dev/null | tr '\n' '|') stderr: $err"
start=$(date +%s%N)
run stuck
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
# Its block and std::thread's record of the running function.
check "a thread that never ends still has its blocks reported" \
  "$([ "$(cat "$scratch/box.txt" 2>/dev/null)" = "$(printf '1\n2\nclosed')" ]; echo $?)" \
  "box.txt: $(cat "$scratch/box.txt" 2>/dev/null | tr '\n' '|')"
check "a thread that never ends does not hold the exit for long" "$([ $elapsed_ms -lt 3000 ]; echo $?)" \
  "took $elapsed_ms ms"

# When the box cannot be shown the figure still reaches the user.
expected='メモリーリークエラー: 3 回メモリーを解放し忘れています'
install_standin 1
run leak3
check "a failing helper falls back to stderr" "$([ "$err" = "$expected" ]; echo $?)" "stderr: $err"
check "a failing helper keeps the exit status" "$([ $status = 0 ]; echo $?)" "status $status"

# After a shutdown nobody may be watching, the figure goes to stderr even
# though the helper could show its box.
install_standin 0
run unattended
check "an unattended shutdown reports on stderr" "$([ "$err" = "$expected" ]; echo $?)" "stderr: $err"
check "an unattended shutdown starts no box" "$([ ! -e "$scratch/box.txt" ]; echo $?)" \
  "box.txt: $(cat "$scratch/box.txt" 2>/dev/null | tr '\n' '|')"

# Installed, the helper lives in <prefix>/libexec/vevez/ for <prefix>/bin/.
mkdir -p "$scratch/bin" "$scratch/libexec/vevez"
mv "$scratch/vevez-leakbox" "$scratch/libexec/vevez/"
cp "$program" "$scratch/bin/leak_program"
rm -f "$scratch/box.txt"
"$scratch/bin/leak_program" leak3 >/dev/null 2>&1
check "an installed program finds its helper in libexec/vevez" \
  "$([ "$(cat "$scratch/box.txt" 2>/dev/null)" = "$(printf '1\n3\nclosed')" ]; echo $?)" \
  "box.txt: $(cat "$scratch/box.txt" 2>/dev/null | tr '\n' '|')"
rm -f "$scratch/libexec/vevez/vevez-leakbox"

run leak3
check "a missing helper falls back to stderr" "$([ "$err" = "$expected" ]; echo $?)" "stderr: $err"

checks_done
