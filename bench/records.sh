#!/usr/bin/env bash
# Prints what the learning records cost, each run a fresh process: the quiz
# thread's time to hand over a judgement (at most 1 ms is the bar), and the
# time the statistics window takes to open and draw on a generated history
# of a million judgements (200 ms is the bar). The history is made once and
# kept at DB (default /tmp/vevez-records-1m.sqlite); the database's file is
# in the page cache, as one used every day is.
# Usage: bench/records.sh [build/bin] [runs] [DB]
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
RUNS=${2:-5}
DB=${3:-/tmp/vevez-records-1m.sqlite}
[[ -f $DB ]] || "$BIN/records_bench" make "$DB" 1000000
echo "history: $(sqlite3 "$DB" 'SELECT count(*) FROM judgements') judgements," \
  "$(sqlite3 "$DB" 'SELECT count(*) FROM lines') lines, $(du -h "$DB" | cut -f1)"
for _ in $(seq "$RUNS"); do "$BIN/records_bench" judge 2000; done
cat "$DB" >/dev/null
for _ in $(seq "$RUNS"); do "$BIN/records_bench" open "$DB" 2>/dev/null; done
echo "with the main window already up (its fonts loaded), as the program opens it:"
for _ in $(seq "$RUNS"); do VEVEZ_BENCH_WARM=1 "$BIN/records_bench" open "$DB" 2>/dev/null; done
