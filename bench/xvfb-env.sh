# Sourced by the benchmark scripts: a private Xvfb, and a scratch directory
# $WORK holding the program, with a silent stand-in for the leak report box.
# Needs BIN (the build's bin directory). Kills PID too, if set, on exit.
WORK=$(mktemp -d)
PID=
XVFB_PID=
trap '[[ -n $XVFB_PID ]] && kill $XVFB_PID 2>/dev/null; [[ -n $PID ]] && kill -9 $PID 2>/dev/null; rm -rf "$WORK"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/../tests/support/xvfb.sh"
xvfb_start "$WORK" || { echo "Xvfb did not start" >&2; exit 1; }
cp "$BIN/vevez" "$WORK/"
printf '#!/bin/sh\n' > "$WORK/vevez-leakbox"
chmod +x "$WORK/vevez-leakbox"

# time_first_maps RUNS DIR...: starts the program in each DIR in turn, RUNS
# times, and collects the milliseconds to its first map (map_ms[DIR], a list)
# and its resident memory in KiB (map_rss[DIR]). A run whose program could not
# reach the X server is dropped.
declare -A map_ms map_rss
time_first_maps() {
  local runs=$1 out t r c
  shift
  for _ in $(seq "$runs"); do
    for c in "$@"; do
      out=$(cd "$WORK/$c" && "$BIN/vevez_map_wait" --settle 300 ./vevez 2>/dev/null) || continue
      read -r t r _ <<<"$out"
      map_ms[$c]+="$t "
      map_rss[$c]=$r
    done
  done
}
median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One-question runs: quiz_setup LIMIT writes a word file of one line and
# settings with that time limit and no sound; quiz_start starts the program
# on them, focused and settled (PID, WIN); quiz_end kills it and puts the
# word file back as it was.
quiz_setup() {
  printf '0q,a\r\n' >"$WORK/word.txt"
  printf '[SOFT]\r\nSPEED=%d\r\nPLAYSOUND=N\r\n' "$1" >"$WORK/kobeli.ini"
}
quiz_start() {
  cp "$WORK/word.txt" "$WORK/word.bak"
  (cd "$WORK" && exec ./vevez >/dev/null 2>&1) &
  PID=$!
  WIN=$(timeout 20 xdotool search --sync --onlyvisible --name '^Z&Uプログラム$' | head -n1)
  xdotool windowfocus --sync "$WIN"
  sleep 0.5
}
quiz_end() {
  kill -9 "$PID"
  wait "$PID" 2>/dev/null || true
  PID=
  mv "$WORK/word.bak" "$WORK/word.txt"
}
