#!/usr/bin/env bash
# Two copies of the program on one word file, again and again (VZ_RACES,
# default 50): each answers a line of its own and saves at about the same
# moment. An answer is lost when its copy says it was saved but the file does
# not hold it; a copy that was not let save says so. Prints the tally; fails
# on any loss.
# Usage: two_copies_race.sh <crash_point program>
set -u
DRIVER=$(realpath "$1")
WORK=$(mktemp -d /tmp/vevez-race-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
races=${VZ_RACES:-50} lost=0 saved=0 refused=0
for ((i = 0; i < races; i++)); do
  printf '0one,a\r\n0two,b\r\n' >"$WORK/w.txt"
  ((i % 2)) && ln -f "$WORK/w.txt" "$WORK/link"  # every other race a hard-linked file (in place)
  timeout 20 "$DRIVER" answer "$WORK/w.txt" 0 >"$WORK/a" 2>&1 &
  timeout 20 "$DRIVER" answer "$WORK/w.txt" 1 >"$WORK/b" 2>&1 &
  wait
  for n in 0 1; do
    out=$([[ $n == 0 ]] && cat "$WORK/a" || cat "$WORK/b")
    line=$(sed -n "$((n + 1))p" "$WORK/w.txt")
    if [[ $out == saved ]]; then
      saved=$((saved + 1))
      [[ $line == 1* ]] || { lost=$((lost + 1)); echo "race $i: copy $n said saved, file has: $line"; }
    else
      refused=$((refused + 1))
    fi
  done
  rm -f "$WORK/link"
done
echo "== $races races: $saved answers saved, $refused refused and said so, $lost lost"
((lost == 0))
