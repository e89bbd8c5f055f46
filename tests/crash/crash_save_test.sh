#!/usr/bin/env bash
# Kills the real program during its saves at shutdown: first just before
# and just after each of its renames, then VZ_KILLS times (default 30) at a
# random moment. After every kill the word file is whole and the settings
# file is wholly the old or wholly the new one; after one normal run at most
# one temporary file of ours is left in the directory.
# Then VZ_INPLACE_KILLS (12) kills during rewrites in place, each followed by
# a start that must find the file whole, and saves on a full small tmpfs.
# Usage: crash_save_test.sh <dir of vevez> <kill_at_rename.so>
source "$(dirname "$0")/../e2e/lib.sh" "$1"
SHIM=$(realpath "$2")
export QT_QPA_PLATFORM=offscreen
setup_appdir
# About 21 MB, so that a save lasts long enough to be hit.
awk 'BEGIN { for (i = 0; i < 600000; i++) printf "0question%06d,answer%06d;other\r\n", i, i }' >"$WORK/words"
cp "$WORK/words" "$APPDIR/word.txt"
# What the program reads, and what it writes back: every key changes.
printf '[SOFT]\r\nSPEED=-1\r\nPLAYSOUND=n\r\nb4file=\r\nb4dir=\r\n' >"$WORK/old.ini"
printf '[SOFT]\r\nSPEED=1000\r\nPLAYSOUND=Y\r\nb4file=word.txt\r\nb4dir=%s/\r\n[RECORDS]\r\nKEEP=Y\r\n' "$APPDIR" \
  >"$WORK/new.ini"

FILE_ARG=()
# Starts the program with the old settings and asks it to end once it is up.
run_and_end() {
  cp "$WORK/old.ini" "$APPDIR/kobeli.ini"
  (cd "$APPDIR" && exec env XDG_CACHE_HOME="$WORK/cache" "$@" "$APPDIR/vevez" "${FILE_ARG[@]}" >>"$WORK/app.log" 2>&1) &
  APP_PID=$!
  sleep "${UP_DELAY:-0.6}"
  kill -TERM "$APP_PID"
}
# Waits for the program; its exit status goes to STATUS.
wait_end() {
  STATUS=0
  wait "$APP_PID" 2>/dev/null || STATUS=$?
  APP_PID=
}
# Kills the program within $1 ms after asking it to end.
kill_within() {
  run_and_end
  sleep "$(printf '0.%03d' $((RANDOM % $1)))"
  kill -KILL "$APP_PID" 2>/dev/null || true
  wait_end
}
check_files() {
  cmp -s "$APPDIR/word.txt" "$WORK/words" || fail "$1: the word file is damaged"
  cmp -s "$APPDIR/kobeli.ini" "$WORK/old.ini" || cmp -s "$APPDIR/kobeli.ini" "$WORK/new.ini" ||
    fail "$1: the settings file is neither the old nor the new one: $(cat -A "$APPDIR/kobeli.ini")"
}
temps() { find "$APPDIR" -maxdepth 1 -name '.*.vevez-??????' | wc -l; }
normal_run() {
  run_and_end
  wait_end
  [[ $STATUS == 0 ]] || fail "a normal run ended with status $STATUS"
  check_files "normal run"
  cmp -s "$APPDIR/kobeli.ini" "$WORK/new.ini" || fail "a normal run did not write the settings"
}

# The settings file is renamed into place first, the word file second.
for at in ${CRASH_POINTS-before:1 after:1 before:2 after:2}; do
  run_and_end env LD_PRELOAD="$SHIM" VZ_KILL_DIR="$APPDIR/" VZ_KILL_AT="$at"
  wait_end
  [[ $STATUS == 137 ]] || fail "$at: the program was not killed at that rename (status $STATUS)"
  check_files "killed $at rename"
done
[[ $(temps) -le 1 ]] || fail "kills at renames left $(temps) temporary files"

kills=${VZ_KILLS:-30}
declare -A landed
for ((i = 1; i <= kills; i++)); do
  inode=$(stat -c %i "$APPDIR/word.txt")
  kill_within 20
  check_files "kill $i"
  if cmp -s "$APPDIR/kobeli.ini" "$WORK/old.ini"; then
    landed[before the saves]=$((${landed[before the saves]:-0} + 1))
  elif [[ $(stat -c %i "$APPDIR/word.txt") == "$inode" ]]; then
    landed[while the word file was saved]=$((${landed[while the word file was saved]:-0} + 1))
  else
    landed[after the saves]=$((${landed[after the saves]:-0} + 1))
  fi
done
for k in "${!landed[@]}"; do echo "kills $k: ${landed[$k]}"; done
echo "after $kills random kills: $(temps) temporary files"
normal_run
[[ $(temps) -le 1 ]] || fail "$(temps) temporary files left after $kills kills and a normal run"
echo "after a normal run: $(temps) temporary files"

# Rewrites in place: the old file has LF line ends, a save writes CR LF, so
# a torn file is neither. The next start puts it back before it loads it.
backups() { find "$WORK/cache/vevez" -type f \( -name '*.backup' -o -name '*.journal' -o -name '*.kept' \) 2>/dev/null | wc -l; }
sed 's/\r$//' "$WORK/words" >"$WORK/words.lf"
ln "$APPDIR/word.txt" "$WORK/second-name"
inplace=()
# A kill lands during a rewrite by chance (about one in six here, fewer on a
# busy machine): past the planned kills, up to 30 more until one has.
landedDuring() { [[ " ${inplace[*]} " == *" during "* ]]; }
planned=${VZ_INPLACE_KILLS:-12}
for ((i = 1; i <= planned + 30; i++)); do
  ((i <= planned)) || { ((planned > 0)) && ! landedDuring; } || break
  cat "$WORK/words.lf" >"$APPDIR/word.txt"
  kill_within 400
  inplace+=("$([[ $(backups) != 0 ]] && echo during || echo outside)")
  run_and_end && wait_end
  cmp -s "$APPDIR/word.txt" "$WORK/words" && cmp -s "$WORK/second-name" "$WORK/words" && [[ $(backups) == 0 ]] ||
    fail "in-place kill $i (${inplace[-1]}): the word file is torn or $(backups) backups are left"
done
echo "in-place kills: ${inplace[*]}"
((${#inplace[@]} == 0)) || landedDuring || fail "no in-place kill landed during a rewrite"

# A full disk: the file stays as it was (in place, the space is reserved
# before it is touched), and the user is told.
SMALL=$WORK/small
mkdir "$SMALL"
mount -t tmpfs -o size=$(($(stat -c %s "$WORK/words.lf") + 300000)) tmpfs "$SMALL" || fail "cannot mount a tmpfs"
trap 'umount "$SMALL" 2>/dev/null || true; cleanup' EXIT
head -c $((200 * 1024)) /dev/zero >"$SMALL/filler"
FILE_ARG=("$SMALL/word.txt")
for first in "ファイル $SMALL/word.txt を作成できません" ストリームへの書き込みエラー; do
  rm -f "$SMALL/second" && cp "$WORK/words.lf" "$SMALL/word.txt"
  [[ $first == ス* ]] || ln "$SMALL/word.txt" "$SMALL/second"  # in place, then by rename
  for ((i = 3; i >= 0; i--)); do  # three kills, then a start that ends normally
    ((i == 0)) && : >"$WORK/app.log" && run_and_end && wait_end || kill_within 300
    cmp -s "$SMALL/word.txt" "$WORK/words.lf" || fail "full disk, '$first', kill $i: the word file changed"
  done
  grep -A2 "^$first" "$WORK/app.log" | grep -q 'デバイスに空き領域がありません' || fail "full disk: no '$first' for no space"
  [[ $(backups) == 0 && -z $(find "$SMALL" -name '.*.vevez-*') ]] || fail "full disk: a backup or temporary file left"
done
echo "PASS"
