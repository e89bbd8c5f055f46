#!/usr/bin/env bash
# The real program as an unprivileged user (run as nobody when the tests run
# as root), ended by SIGTERM so that boxes of the shutdown go to its output:
#  - a read-only word file and settings file stay unwritten, by the user
#    and by root too, and the shutdown says that they are read-only;
#  - a word file the user may write, in a directory that refuses new files,
#    is rewritten in place, and no backup is left behind.
source "$(dirname "$0")/lib.sh"
export QT_QPA_PLATFORM=offscreen
setup_appdir
chmod 755 "$WORK"
mkdir "$WORK/home"
touch "$WORK/leaks"
chmod 666 "$WORK/leaks"
as_user=()
if [[ $(id -u) == 0 ]]; then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  chown nobody "$WORK/home"
fi
give() { [[ $(id -u) != 0 ]] || chown nobody "$@"; }

run_as_user() {
  (cd "$APPDIR" && exec ${1:-"${as_user[@]}"} env HOME="$WORK/home" "$APPDIR/vevez" >"$WORK/app.log" 2>&1) &
  APP_PID=$!
  sleep 1
  kill -TERM "$APP_PID"
  wait_exit
}

# Read-only files in the user's own directory.
write_words "$APPDIR/word.txt" "0ネコ,cat"
printf '[SOFT]\r\nSPEED=-1\r\n' >"$APPDIR/kobeli.ini"
give "$APPDIR" "$APPDIR/word.txt" "$APPDIR/kobeli.ini"
chmod 444 "$APPDIR/word.txt" "$APPDIR/kobeli.ini"
stamp=$(stat -c %i.%Z.%z "$APPDIR/word.txt")
for who in "" env; do  # as the user, then as root (or oneself)
  run_as_user $who
  [[ $(stat -c %i.%Z.%z "$APPDIR/word.txt") == "$stamp" ]] || fail "$who: a read-only word file was written"
  [[ $(cat "$APPDIR/kobeli.ini") == $'[SOFT]\r\nSPEED=-1\r' ]] || fail "$who: a read-only settings file was written"
  [[ $(grep -A1 "^ファイル $APPDIR/.* を作成できません" "$WORK/app.log" | grep -c '^読み取り専用のファイルです') == 2 ]] ||
    fail "$who: the word file and the settings file are not both said to be read-only"
done

# Writable files in a directory the user may not add files to.
chown root "$APPDIR" 2>/dev/null || true
chmod 644 "$APPDIR/word.txt" "$APPDIR/kobeli.ini"
[[ $(id -u) == 0 ]] || chmod 555 "$APPDIR"
inode=$(stat -c %i "$APPDIR/word.txt")
run_as_user
! grep -q 'を作成できません\|書き込みエラー' "$WORK/app.log" || fail "saving in place failed"
[[ $(stat -c %i "$APPDIR/word.txt") == "$inode" ]] || fail "the word file was replaced, not rewritten"
expect_words "$APPDIR/word.txt" "0ネコ,cat" "the word file changed"
grep -q '^SPEED=1000' "$APPDIR/kobeli.ini" || fail "the settings were not saved in place"
[[ -d $WORK/home/.cache/vevez && -z $(find "$WORK/home/.cache/vevez" -type f) ]] || fail "no backup place, or a backup left"
chmod 755 "$APPDIR"
echo "PASS"
