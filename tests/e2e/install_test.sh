#!/usr/bin/env bash
# The program as a user meets it after installation: installed with
# `cmake --install` into a prefix owned by root, run as the unprivileged
# user nobody with a scratch HOME. The first start copies the sample into
# ~/.local/share/vevez and asks from it, progress and settings go to the
# user's folders, Ctrl+O and the command line open files in HOME, no box
# ever appears, and nothing inside the prefix changes.
source "$(dirname "$0")/lib.sh"
BUILD=$(cd "$BIN/.." && pwd)
chmod 755 "$WORK"
PREFIX=$WORK/prefix
UHOME=$WORK/home
mkdir -m 755 "$PREFIX"
cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" || fail "cmake --install: $(cat "$WORK/install.log")"
for f in bin/vevez libexec/vevez/vevez-leakbox share/vevez/word.txt share/vevez/yes.wav \
  share/applications/vevez.desktop share/icons/hicolor/scalable/apps/vevez.svg \
  share/metainfo/io.github.vevez.vevez.metainfo.xml share/man/man1/vevez.1.gz; do
  [[ -f $PREFIX/$f ]] || fail "not installed: $f"
done
mkdir -m 700 "$UHOME"
chown nobody:nogroup "$UHOME"

snapshot() { (cd "$PREFIX" && find . -printf '%p %U %m %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort); }
before=$(snapshot)

# user_cmd WHO HOME sets CMD to the command prefix that runs as WHO with
# nothing of the test's environment but HOME and the display.
user_cmd() {
  CMD=()
  [[ $1 == root ]] || CMD=(setpriv --reuid="$1" --regid=nogroup --clear-groups)
  CMD+=(env -i HOME="$2" PATH=/usr/bin:/bin LANG=C.UTF-8 ${DISPLAY:+DISPLAY=$DISPLAY})
}
as_user() {
  user_cmd nobody "$UHOME"
  "${CMD[@]}" "$@"
}

# The command line needs no display for --help and --version.
out=$(DISPLAY= as_user "$PREFIX/bin/vevez" --help) || fail "--help failed"
[[ $out == *"[ファイル]"* ]] || fail "--help printed: $out"
[[ $(DISPLAY= as_user "$PREFIX/bin/vevez" --version) == "vevez 1.0.0" ]] || fail "--version"
status=0
DISPLAY= as_user "$PREFIX/bin/vevez" --no-such-option >"$WORK/out" 2>"$WORK/err" || status=$?
[[ $status == 2 && ! -s $WORK/out ]] || fail "unknown option: status $status, stdout $(cat "$WORK/out")"
grep -q '使い方' "$WORK/err" || fail "unknown option: no usage on stderr"

start_xvfb
# start_installed [ARGS...] starts the installed program as nobody in HOME;
# WHO=root and HOME=dir before it run it as someone else.
start_installed() {
  local who=${WHO:-nobody} home=${HOME_OF_RUN:-$UHOME}
  user_cmd "$who" "$home"
  (cd "$home" && exec "${CMD[@]}" "$PREFIX/bin/vevez" "$@" >"$WORK/app.log" 2>&1) &
  APP_PID=$!
  WIN=$(timeout 20 xdotool search --sync --onlyvisible --name "$MAIN_TITLE" | head -n1) ||
    fail "main window did not appear"
  focus_main
}
# No error, information, notice or leak box: only the main window is up.
no_box() {
  local others
  others=$(xdotool search --onlyvisible --name '.' getwindowname %@ 2>/dev/null | grep -v '^Z&Uプログラム$' || true)
  [[ -z $others ]] || fail "$1: a box is up: $others"
}
DATA=$UHOME/.local/share/vevez
CONFIG=$UHOME/.config/vevez

# 1. The first start asks from the sample: the question is drawn on the
# board, and every answer of the sample typed in turn marks at least one line.
start_installed
cmp -s "$DATA/word.txt" "$PREFIX/share/vevez/word.txt" || fail "the sample was not copied to $DATA"
sleep 0.3
import -window "$WIN" "$WORK/first.png"
# Question text (light blue, outlined in black) in the board's upper strip.
ink=$(convert "$WORK/first.png" -crop 360x30+5+33 +repage -fill black +opaque white -fill white -opaque white \
  -format '%[fx:int(mean*w*h)]' info:)
((ink < 360 * 30 - 50)) || fail "no question on the board"
no_box "first start"
# The window carries the program's icon, and an X11 desktop can match it to
# vevez.desktop by its WM_CLASS instance.
[[ $(xprop -id "$WIN" _NET_WM_ICON) == *"Icon ("* ]] || fail "no window icon"
[[ $(xprop -id "$WIN" WM_CLASS) == *'= "vevez",'* ]] || fail "WM_CLASS: $(xprop -id "$WIN" WM_CLASS)"
key F9
# One xdotool run types them all (letters and spaces), each followed by
# Return, well inside the 10-second limit.
keys=()
while IFS= read -r answer; do
  for ((i = 0; i < ${#answer}; i++)); do
    c=${answer:i:1}
    [[ $c == " " ]] && keys+=(space) || keys+=("$c")
  done
  keys+=(Return)
done < <(read_words "$DATA/word.txt" | grep '^0' | cut -d, -f2 | cut -d';' -f1)
xdotool key --delay 10 "${keys[@]}"
sleep 0.3
key Escape
wait_exit
no_box "after Esc"
marked=$(read_words "$DATA/word.txt" | grep -c '^1' || true)
((marked >= 1)) || fail "no line marked in $DATA/word.txt"
[[ $(read_words "$DATA/word.txt" | sed 's/^1/0/') == $(read_words "$PREFIX/share/vevez/word.txt") ]] ||
  fail "the word file changed beyond its marks"
expected=$(printf '[SOFT]\r\nSPEED=1000\r\nPLAYSOUND=Y\r\nb4file=word.txt\r\nb4dir=%s/\r\n[RECORDS]\r\nKEEP=Y\r\n' "$DATA")
[[ $(cat "$CONFIG/kobeli.ini") == "$expected" ]] || fail "kobeli.ini is: $(cat -A "$CONFIG/kobeli.ini")"
[[ $(stat -c %U "$DATA/word.txt" "$CONFIG/kobeli.ini" | sort -u) == nobody ]] || fail "files not the user's"

# 2. Ctrl+O opens a file in HOME; it is remembered.
write_words "$UHOME/mine.txt" "0イヌ,dog"
chown nobody:nogroup "$UHOME/mine.txt"
start_installed
key ctrl+o
choose_file '^開く$' "$UHOME/mine.txt"   # the dialog's title in Japanese
sleep 0.5
refocus_main
answer_and_quit dog
no_box "after Ctrl+O"
expect_words "$UHOME/mine.txt" "1イヌ,dog" "after the run"
grep -q $'^b4file=mine.txt\r$' "$CONFIG/kobeli.ini" || fail "mine.txt not remembered"
grep -q "^b4dir=$UHOME/"$'\r$' "$CONFIG/kobeli.ini" || fail "HOME not remembered"

# 3. `vevez FILE` opens FILE instead of the remembered one.
write_words "$UHOME/other.txt" "0トリ,bird"
chown nobody:nogroup "$UHOME/other.txt"
start_installed other.txt
answer_and_quit bird
no_box "after vevez FILE"
expect_words "$UHOME/other.txt" "1トリ,bird" "after the run"
grep -q $'^b4file=other.txt\r$' "$CONFIG/kobeli.ini" || fail "other.txt not remembered"

# 4. Root, too, keeps its files in its own home, never under the prefix.
ROOTHOME=$WORK/roothome
mkdir "$ROOTHOME"
WHO=root HOME_OF_RUN=$ROOTHOME start_installed
key Escape
wait_exit
[[ -f $ROOTHOME/.config/vevez/kobeli.ini && -f $ROOTHOME/.local/share/vevez/word.txt ]] ||
  fail "root's files are not in its home"

[[ $(snapshot) == "$before" ]] || fail "the installation changed: $(diff <(echo "$before") <(snapshot))"
grep -q 'メモリーリーク' "$WORK/app.log" && fail "a leak was reported"
echo "PASS"
