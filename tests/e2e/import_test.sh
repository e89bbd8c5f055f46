#!/usr/bin/env bash
# `vevez --import` converts a spreadsheet's CSV into a new word file with no
# display at all: a summary on standard output, one line per skipped record
# on standard error, exit 0; it never writes over a file (exit 1), tells a
# usage error (exit 2), and leaves its source as it was.
source "$(dirname "$0")/lib.sh"
setup_appdir
src=$WORK/vocab.csv
printf '"ネコ","cat; kitty"\r\n"a,b",x\r\n"two\r\nlines",ok\r\n' > "$src"
before=$(sha256sum < "$src")
run() { env -u DISPLAY -u WAYLAND_DISPLAY "$APPDIR/vevez" "$@" > "$WORK/out" 2> "$WORK/err"; }

run --import "$src" || fail "exit $? ($(cat "$WORK/err"))"
grep -q '^.*vocab.txt: 2 語を書き込みました (重複 0)、飛ばした記録 1、文字コード CP932 (CSV)$' "$WORK/out" ||
  fail "summary: $(cat "$WORK/out")"
grep -q 'vocab.csv:2: 飛ばしました: 問題に「,」' "$WORK/err" || fail "skip line: $(cat "$WORK/err")"
expect_words "$WORK/vocab.txt" $'0ネコ,cat;kitty\n0two lines,ok' "the converted file"

rc=0; run --import "$src" || rc=$?
[[ $rc == 1 ]] && grep -q "既にあります" "$WORK/err" || fail "an existing target: exit $rc, $(cat "$WORK/err")"
expect_words "$WORK/vocab.txt" $'0ネコ,cat;kitty\n0two lines,ok' "the existing target"
rc=0; run --import || rc=$?
[[ $rc == 2 ]] || fail "no source: exit $rc"
# Someone who may not write beside the source is told so, and nothing appears.
chmod 755 "$WORK"
rc=0; setpriv --reuid=nobody --regid=nogroup --clear-groups "$APPDIR/vevez" --import "$src" "$WORK/n.txt" \
  2> "$WORK/err" || rc=$?
[[ $rc == 1 && ! -e $WORK/n.txt ]] || fail "unwritable directory: exit $rc, $(cat "$WORK/err")"
[[ $(sha256sum < "$src") == "$before" ]] || fail "the source was changed"
[[ ! -e $WORK/leaks ]] || fail "an import left blocks behind: $(cat "$WORK/leaks")"
echo "PASS"
