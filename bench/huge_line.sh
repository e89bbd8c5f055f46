#!/usr/bin/env bash
# Prints what one very long word line costs the program, under a private
# Xvfb: a 5 MB question (start-up to the window's first map; CPU time and
# peak memory up to 3 s after it) and a 50 MB answer shown with 答えを見る
# (CPU time and peak memory over the 3 s after the click).
# Usage: bench/huge_line.sh [build/bin]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
[[ -x $BIN/vevez_map_wait ]] || { echo "no $BIN/vevez_map_wait (build the benchmarks)"; exit 1; }
source "$(dirname "$0")/xvfb-env.sh"
printf '[SOFT]\r\nPLAYSOUND=N\r\n' >"$WORK/kobeli.ini"
# "あ" is 82 A0 in code page 932.
repeat() { head -c "$1" /dev/zero | tr '\0' 'x' | sed 's/xx/\x82\xa0/g'; }

{ printf '0'; repeat 5000000; printf ',a\r\n'; } >"$WORK/word.txt"
for _ in $(seq "${RUNS:-3}"); do
  read -r ms _ hwm cpu < <(cd "$WORK" && "$BIN/vevez_map_wait" --settle 3000 ./vevez 2>/dev/null)
  printf "5 MB question: first map after %.0f ms; %d ms CPU and %d MiB peak from the start to 3 s after the map\\n" "$ms" "$cpu" $((hwm / 1024))
done

{ printf '0q,'; repeat 50000000; printf '\r\n'; } >"$WORK/word.txt"
cpu() { awk '{ print ($14 + $15) * 10 }' "/proc/$PID/stat"; }
for _ in $(seq "${RUNS:-3}"); do
  (cd "$WORK" && exec ./vevez >/dev/null 2>&1) &
  PID=$!
  WIN=$(timeout 20 xdotool search --sync --onlyvisible --name '^Z&Uプログラム$' | head -n1)
  xdotool windowfocus --sync "$WIN"
  xdotool key F9
  sleep 1
  c0=$(cpu)
  # 答えを見る sits at (400, 120) of the client area, below the menu bar.
  xdotool mousemove --window "$WIN" 440 152 click 1
  sleep 3
  c1=$(cpu)
  printf '50 MB answer shown: %d ms CPU over the 3 s after the click; peak %d MiB\n' $((c1 - c0)) \
    $(($(awk '/VmHWM/ { print $2 }' "/proc/$PID/status") / 1024))
  kill -9 "$PID"
  wait "$PID" 2>/dev/null || true
  PID=
done
