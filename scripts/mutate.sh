#!/usr/bin/env bash
# Plants small faults in the product code, one at a time, in a scratch copy of
# the tree, and tells which of them the unit and widget tests catch. A fault
# no test notices is a test to write, or an argument that the changed code
# behaves the same.
#
# Two sources of faults:
#
#   scripts/mutate.sh                    every entry of the catalogue, scripts/mutants.txt
#   scripts/mutate.sh --only ini-fold    one entry (repeatable)
#   scripts/mutate.sh --file core/settings/ the entries whose file path contains this (repeatable)
#   scripts/mutate.sh --list             the entries, and whether their text is still found
#
#   scripts/mutate.sh --auto [--seed S] [--count N] [--since REV] [PATHS...]
#       faults made mechanically from the code (scripts/make-mutants.py): on
#       every line of PATHS (folders, files, or the start of file names such
#       as gui/window/Board), or only on the lines changed since REV (the
#       working tree against it, uncommitted changes included), the
#       operators that apply: a comparison swapped (< <=, > >=, == !=),
#       && and || swapped, a ! dropped, + and - swapped, a constant or an
#       index one off, a call statement deleted, true and false swapped, a
#       returned boolean negated, a return at the start of a block of a
#       function that returns nothing. Comments, preprocessor lines,
#       static_assert, assert, lines holding a message text, calls that
#       only hint at speed (reserve, shrink_to_fit, madvise) and the sizes of
#       arrays being declared make none.
#       N of them (200) are drawn with seed S (printed; a new one when not
#       given, so that a run can be repeated): every line is equally likely,
#       then every operator that applies to it. PATHS default to the core and
#       the window's core-facing code (core, gui/window/MainWindow,
#       gui/window/Board); with --since, to core and gui.
#       --list prints the drawn faults without running them; --count 0
#       takes every fault; --only FILE:LINE (repeatable) keeps the faults of
#       that line (FILE:LINE OPERATOR: of that operator), to try one again.
#
#   --timeout SECONDS   how long one test may run before it counts as hanging
#                       (default: five times the slowest test of the
#                       unchanged tree, plus 10 s)
#   --report FILE       also write one tab-separated row per fault: result,
#                       file, line, operator, test, seconds, line before, after
#   --keep              keep the scratch copy (its path is printed)
#   --workers N         N runs at once, each over a share of the faults in a
#                       scratch copy of its own (MUTATE_WORKERS; default 1):
#                       two on two cores take about half the time of one
#
# A fault costs about 10 to 30 s on two cores (a header that many files
# include, minutes), so 200 of them take about an hour.
#
# MUTATE_DIR names a scratch folder to keep and reuse (default: a new one
# under $TMPDIR, removed at the end), MUTATE_CATALOGUE another catalogue,
# MUTATE_JOBS the build jobs (2), MUTATE_NICE the niceness (19). The copy is
# built with Ninja (when installed) and ccache: a fault rebuilds the one
# object it changes (every object that includes it, in a header) and relinks
# the test programs; the first run builds the whole test set once.
#
# Each fault is built, then the unit test program runs (when the fault is in
# what it links), then the widget test program, each as one process that
# stops at its first failure. A test that fails, or the first that hangs,
# runs again alone and must do so again to count. The result of a fault:
#   CAUGHT    a test failed: an assertion, or "(crashed)": the test program
#             died (a signal, an uncaught exception, or out of memory: each
#             program may use 4 GB of address space)
#   SURVIVED  every test passed
#   TIMEOUT   a test ran past --timeout and no other test failed: a fault of
#             the tests, since a test must fail, not hang; not a catch
#   BROKEN    the fault does not build; reported and not counted
#   STALE     (catalogue) the entry's text is not found exactly once in its
#             file: edit the catalogue; reported and not counted
# The run ends with a table per file and the caught ratio: caught against
# caught + survived + timeout. Not part of the CI run: see CONTRIBUTING.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
catalogue=${MUTATE_CATALOGUE:-$root/scripts/mutants.txt}
jobs=${MUTATE_JOBS:-2}
niceness=${MUTATE_NICE:-19}
only=() fileFilter=() paths=() list=0 keep=0 auto=0 seed='' count=200 since='' bound='' report=''
workers=${MUTATE_WORKERS:-1} shard='' args=("$@")

while (($#)); do
  case $1 in
    --only) only+=("$2"); shift 2 ;;
    --file) fileFilter+=("$2"); shift 2 ;;
    --list) list=1; shift ;;
    --keep) keep=1; shift ;;
    --auto) auto=1; shift ;;
    --seed) seed=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    --since) since=$2; shift 2 ;;
    --timeout) bound=$2; shift 2 ;;
    --report) report=$(realpath -m "$2"); shift 2 ;;
    --workers) workers=$2; shift 2 ;;
    --shard) shard=$2; shift 2 ;;  # K/N: the K-th of N shares, for a worker
    -h|--help) sed -n '2,/^set -euo/{/^set/d;s/^# \{0,1\}//;p}' "$0"; exit 0 ;;
    -*) echo "mutate.sh: unknown argument: $1" >&2; exit 2 ;;
    *) paths+=("$1"); shift ;;
  esac
done
if ((!auto)) && [[ -n $seed$since || ${#paths[@]} -gt 0 ]]; then
  echo "mutate.sh: --seed, --since and paths go with --auto" >&2
  exit 2
fi
for n in "$count" "$workers" ${bound:+"$bound"} ${seed:+"$seed"}; do
  [[ $n =~ ^[0-9]+$ ]] || { echo "mutate.sh: not a number: $n" >&2; exit 2; }
done

# A line without its indentation.
strip() { local s=$1; echo "${s#"${s%%[! ]*}"}"; }
# Keeps the faults of the given indices, in that order.
pickFaults() {
  local var i kept
  for var in mFile mLine mFrom mTo mName; do
    declare -n arr=$var
    kept=()
    for i in "$@"; do kept+=("${arr[i]}"); done
    arr=("${kept[@]}")
    unset -n arr
  done
}

# ---- the faults: file, where (catalogue: the exact text; auto: the line
# number), the line or text before and after, and a name to report ----
mFile=() mLine=() mFrom=() mTo=() mName=() stale=()

if ((auto)); then
  if ((${#paths[@]} == 0)); then
    if [[ -n $since ]]; then paths=(core gui); else paths=(core gui/window/MainWindow gui/window/Board); fi
  fi
  seed=${seed:-$((RANDOM * 32768 + RANDOM))}
  echo "mutate.sh --auto --seed $seed --count $count${since:+ --since $since} ${paths[*]}"
  generated=$(python3 "$root/scripts/make-mutants.py" --root "$root" --seed "$seed" --count "$count" \
    ${since:+--since "$since"} "${paths[@]}")
  while IFS=$'\t' read -r file line op before after; do
    if ((${#only[@]})); then
      keepIt=0
      for o in "${only[@]}"; do [[ "$file:$line $op " == "$o "* ]] && keepIt=1; done
      ((keepIt)) || continue
    fi
    mFile+=("$file") mLine+=("$line") mFrom+=("$before") mTo+=("$after") mName+=("$file:$line $op")
  done <<<"$generated"
  ((${#mFile[@]})) || { echo "mutate.sh: no line to change in ${paths[*]}" >&2; exit 2; }
  if ((list)); then
    for i in "${!mFile[@]}"; do
      printf '%s\n  - %s\n  + %s\n' "${mName[i]}" "${mFrom[i]#"${mFrom[i]%%[! ]*}"}" "${mTo[i]#"${mTo[i]%%[! ]*}"}"
    done
    exit 0
  fi
else
  # The catalogue: "@ id file", then "- exact text", then "+ replacement".
  lineNo=0
  while IFS= read -r line || [[ -n $line ]]; do
    lineNo=$((lineNo + 1))
    case $line in
      '#'*|'') continue ;;
      '@ '*)
        read -r _ id file <<<"$line"
        mName+=("$id") mFile+=("$file") mFrom+=("") mTo+=("") mLine+=(0) ;;
      '- '*) mFrom[${#mName[@]} - 1]=${line:2} ;;
      '+ '*|'+') mTo[${#mName[@]} - 1]=${line:2} ;;
      *) echo "mutants.txt:$lineNo: not an entry line: $line" >&2; exit 2 ;;
    esac
  done <"$catalogue"
  # How often the entry's text occurs in its file under `base`.
  occurrences() {
    local path=$1/${mFile[$2]}
    [[ -f $path ]] || { echo 0; return; }
    FROM=${mFrom[$2]} perl -0777 -ne '$n = () = /\Q$ENV{FROM}\E/g; print $n' "$path"
  }
  runnable=()
  for i in "${!mName[@]}"; do
    [[ -n ${mFrom[i]} ]] || { echo "mutants.txt: entry ${mName[i]} has no '- ' text" >&2; exit 2; }
    keepIt=1
    if ((${#only[@]})); then
      keepIt=0
      for o in "${only[@]}"; do [[ ${mName[i]} == "$o" ]] && keepIt=1; done
    fi
    if ((keepIt && ${#fileFilter[@]})); then
      keepIt=0
      for f in "${fileFilter[@]}"; do [[ ${mFile[i]} == *"$f"* ]] && keepIt=1; done
    fi
    ((keepIt)) || continue
    n=$(occurrences "$root" "$i")
    if [[ $n == 1 ]]; then
      runnable+=("$i")
    else
      stale+=("${mName[i]} (${mFile[i]}: text found $n times)")
    fi
    ((list)) && printf '%-28s %-26s %s\n' "${mName[i]}" "${mFile[i]}" "$([[ $n == 1 ]] && echo ok || echo "STALE ($n)")"
  done
  ((list)) && exit 0
  if ((${#runnable[@]} + ${#stale[@]} == 0)); then
    echo "mutate.sh: no catalogue entry selected" >&2
    exit 2
  fi
  # Only the runnable entries, in file order, so that consecutive faults
  # mostly rebuild the same object.
  readarray -t order < <(for i in "${runnable[@]}"; do printf '%s\t%s\n' "${mFile[i]}" "$i"; done | sort -s -t$'\t' -k1,1 | cut -f2)
  pickFaults "${order[@]}"
fi

# ---- the report ----
# From the faults and their results (resultOf, testOf): the faults that were
# not caught, a table per file and the caught ratio.
summary() {
  echo
  for s in "${stale[@]}"; do echo "STALE     $s"; done
  for i in "${!mFile[@]}"; do
    case ${resultOf[i]} in
      CAUGHT) ;;
      *) printf '%-9s %s%s\n    - %s\n    + %s\n' "${resultOf[i]}" "${mName[i]}" "${testOf[i]:+  in ${testOf[i]}}" \
           "$(strip "${mFrom[i]}")" "$(strip "${mTo[i]}")" ;;
    esac
  done
  echo
  declare -A perFile
  for i in "${!mFile[@]}"; do perFile[${mFile[i]}]+="${resultOf[i]} "; done
  printf '%-36s %7s %7s %8s %7s %6s %7s\n' file faults caught survived timeout broken caught%
  tally() { local w; c=0 s=0 t=0 b=0; for w in $1; do case $w in CAUGHT) c=$((c + 1)) ;; SURVIVED) s=$((s + 1)) ;;
    TIMEOUT) t=$((t + 1)) ;; BROKEN) b=$((b + 1)) ;; esac; done; }
  row() {
    local n=$(($2 + $3 + $4))
    printf '%-36s %7d %7d %8d %7d %6d %7s\n' "$1" $((n + $5)) "$2" "$3" "$4" "$5" \
      "$( ((n)) && echo "$(($2 * 100 / n))%" || echo -)"
  }
  all=''
  while IFS= read -r f; do
    tally "${perFile[$f]}"
    row "$f" $c $s $t $b
    all+=${perFile[$f]}
  done < <(printf '%s\n' "${!perFile[@]}" | sort)
  tally "$all"
  row total $c $s $t $b
  echo "wall time $((SECONDS - started)) s"
  if ((c + s + t)); then
    printf 'caught %d/%d (%d%%), %d timeout(s), %d survivor(s), %d stale, %d broken\n' "$c" $((c + s + t)) \
      $((c * 100 / (c + s + t))) "$t" "$s" "${#stale[@]}" "$b"
  else
    echo "caught 0/0: no fault ran (${#stale[@]} stale, $b broken)"
  fi
  ((${#stale[@]} == 0 && b == 0)) || ((auto && ${#stale[@]} == 0))
}

# ---- several workers ----
# Each worker is a run of this script over its share of the faults (those of
# every N-th file, so that the workers rebuild different objects and share
# the slow headers), in a scratch copy of its own: MUTATE_DIR for the first,
# MUTATE_DIR-K for the others. A fault mostly waits for one compiler or one
# test, so two workers keep two cores busy.
if [[ -n $shard ]]; then
  k=${shard%/*} n=${shard#*/} mine=() files=0
  for i in "${!mFile[@]}"; do
    ((i == 0)) || [[ ${mFile[i]} == "${mFile[i - 1]}" ]] || files=$((files + 1))
    ((files % n == k)) && mine+=("$i")
  done
  pickFaults "${mine[@]}"
  ((${#mFile[@]})) || exit 0
elif ((workers > 1)); then
  started=$SECONDS
  gather=$(mktemp -d "${TMPDIR:-/tmp}/vevez-mutate-workers.XXXXXX")
  trap 'rm -rf "$gather"' EXIT
  pids=()
  for ((k = 0; k < workers; k++)); do
    dir=''
    if [[ -n ${MUTATE_DIR:-} ]]; then dir=$(realpath -m "$MUTATE_DIR") && ((k)) && dir+=-$k; fi
    MUTATE_DIR=$dir bash "$0" "${args[@]}" ${seed:+--seed "$seed"} --workers 1 --shard "$k/$workers" \
      --report "$gather/$k.tsv" > >(sed -u "s/^/[$k] /") 2>&1 &
    pids+=($!)
  done
  failed=0
  for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
  mFile=() mLine=() mFrom=() mTo=() mName=() resultOf=() testOf=()
  for ((k = 0; k < workers; k++)); do
    [[ -f $gather/$k.tsv ]] || continue
    # Tabs made unit separators: read would merge the tabs of an empty field.
    while IFS=$'\037' read -r result file line op test _ before after; do
      mFile+=("$file") mLine+=("$line") mFrom+=("$before") mTo+=("$after") resultOf+=("$result") testOf+=("$test")
      if ((auto)); then mName+=("$file:$line $op"); else mName+=("$op"); fi
    done < <(tr '\t' '\037' <"$gather/$k.tsv")
  done
  [[ -n $report ]] && cat "$gather"/*.tsv >"$report" 2>/dev/null
  ((failed)) && echo "$failed of $workers workers ended with an error: see their lines above"
  summary
  exit
fi

# ---- the scratch copy and its build ----
# A folder named by MUTATE_DIR is reused and never removed; it must be new,
# empty or one an earlier run made, and lie outside the source tree.
if [[ -n ${MUTATE_DIR:-} ]]; then
  scratch=$(realpath -m "$MUTATE_DIR")
  keep=1
  if [[ $scratch/ == "$root"/* ]] ||
    [[ -d $scratch && ! -e $scratch/.vevez-mutate && -n $(ls -A "$scratch") ]]; then
    echo "mutate.sh: MUTATE_DIR must be outside the tree and new, empty or made by mutate.sh: $scratch" >&2
    exit 2
  fi
  mkdir -p "$scratch"
else
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/vevez-mutate.XXXXXX")
fi
touch "$scratch/.vevez-mutate"
original=$scratch/.mutate-original
planted=''  # the file that holds a fault now; its own bytes are in $original
cleanup() {
  [[ -n $planted ]] && cp "$original" "$scratch/$planted"
  if ((keep)); then echo "scratch copy kept: $scratch"; else rm -rf "$scratch"; fi
}
trap cleanup EXIT
# The working tree as it is, uncommitted changes included. Only files whose
# bytes differ are copied, with the time of the copy: a scratch folder kept
# from an earlier run then rebuilds just what changed, and never keeps an
# object newer than a source it was not built from.
incoming=$scratch/.mutate-incoming
rm -rf "$incoming" && mkdir "$incoming"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -C "$incoming" -xf -
(cd "$incoming" && find . -type f -print0) | while IFS= read -r -d '' f; do
  if ! cmp -s "$incoming/$f" "$scratch/$f"; then
    mkdir -p "$(dirname "$scratch/$f")"
    cp "$incoming/$f" "$scratch/$f"
  fi
done
rm -rf "$incoming"

export CCACHE_BASEDIR=$scratch CCACHE_NOHASHDIR=1
# Optimised as the program is, without debug information, which costs more
# than a third of each compile and link; linked by lld where installed.
configure=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DVEVEZ_WERROR=OFF -DVEVEZ_BENCH=OFF)
command -v ccache >/dev/null && configure+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
command -v ld.lld >/dev/null && configure+=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
# A build folder keeps the generator it was made with.
[[ ! -e $scratch/build/CMakeCache.txt ]] && command -v ninja >/dev/null && configure+=(-G Ninja)
log=$scratch/mutate.log
# Warnings stay warnings: a fault that only warns is still worth running.
nice -n "$niceness" cmake -S "$scratch" -B "$scratch/build" "${configure[@]}" >"$log" 2>&1 ||
  { cat "$log" >&2; echo "mutate.sh: configure failed" >&2; exit 1; }

# Builds one test program; `built` tells whether anything was rebuilt.
build() {
  built=1
  nice -n "$niceness" cmake --build "$scratch/build" -j"$jobs" --target "$1_tests" >"$log" 2>&1 || return 1
  if grep -q 'ninja: no work to do' "$log"; then built=0; fi
}

# Runs a test program as one process, stopping at its first failure. A test
# that runs `stall` seconds without finishing is taken for hanging and the
# program is stopped. Sets runStatus (pass, fail, crash or hang), runTest
# (the test that failed, crashed or hung) and runDone (the tests that
# finished, as a gtest filter list).
runProgram() {
  local label=$1 filter=$2 out=$scratch/run.out rc=0 size=-1 now still=0 hung=0 pid
  : >"$out"
  # The whole run is bounded too, in case a test prints while it hangs; and
  # its memory, so that a fault that allocates without end fails the test
  # (out of memory) instead of taking the memory of the machine.
  # A test's own watchdog (tests/support/Watchdog.cpp) ends a hanging test a
  # little sooner than the wait for output below, naming it.
  (cd "$scratch/build/tests" && ulimit -v $((4 << 20)) && export VEVEZ_TEST_BOUND=$((stall > 12 ? stall - 2 : 10)) &&
    QT_QPA_PLATFORM=offscreen exec nice -n "$niceness" \
    timeout -k 5 $((stall * 20)) "$scratch/build/bin/${label}_tests" --gtest_fail_fast --gtest_color=no \
    --gtest_filter="$filter" >"$out" 2>&1) &
  pid=$!
  # gtest writes a line as each test starts and ends: no new output for
  # `stall` seconds is a test that does not end.
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1
    now=$(stat -c %s "$out")
    if [[ $now == "$size" ]]; then still=$((still + 1)); else still=0 size=$now; fi
    if ((still >= stall)); then
      hung=1
      kill -TERM "$pid" 2>/dev/null || true
      break
    fi
  done
  wait "$pid" || rc=$?
  runDone=$(sed -n 's/^\[ \{7\}OK \] \([^ ]*\) .*/\1/p; s/^\[  SKIPPED \] \([^ ]*\) (.*/\1/p' "$out" | paste -sd:)
  local failed running
  failed=$(sed -n 's/^\[  FAILED  \] \([^ ]*\) (.*/\1/p' "$out" | head -1)
  running=$(sed -n 's/^\[ RUN      \] \(.*\)/\1/p' "$out" | tail -1)
  if ((hung || rc == 124 || rc == 137)); then
    runStatus=hang runTest=$running
  elif ((rc == 0)); then
    runStatus=pass runTest=''
  elif [[ -n $failed ]]; then
    runStatus=fail runTest=$failed
  else
    runStatus=crash runTest=${running:-?}
  fi
}

# Runs one label's program until it passes or a failure is confirmed. A
# test that failed runs again alone and counts only if it fails again (a
# flaky test fails now and then); so does the first test that hangs (a busy
# machine slows a test down). The rest of the tests then run without it. A
# second hanging test ends the search. Sets verdict (pass, caught or hang)
# and verdictTest.
judge() {
  local label=$1 skip='' hung=() tries=0 suspect finished
  verdict=pass verdictTest=''
  while ((tries++ < 6)); do
    runProgram "$label" "${skip:+-}${skip:-*}"
    [[ $runStatus == pass ]] && break
    suspect=$runTest finished=$runDone
    if [[ $runStatus != hang ]] || ((${#hung[@]} == 0)); then
      runProgram "$label" "$suspect"
      if [[ $runStatus == fail || $runStatus == crash ]]; then
        verdict=caught verdictTest=$suspect${runStatus/#fail/}
        verdictTest=${verdictTest/%crash/ (crashed)}
        return
      fi
    fi
    if [[ $runStatus == hang ]]; then
      hung+=("$suspect")
      ((${#hung[@]} < 2)) || break
    fi
    # The rest of the tests, without those that finished or misbehaved.
    skip=${skip:+$skip:}${finished:+$finished:}$suspect
  done
  if ((${#hung[@]})); then verdict=hang verdictTest=$(IFS=,; echo "${hung[*]}"); fi
}

started=$SECONDS
echo "building the scratch copy in $scratch ..."
stall=600 slowest=0
for label in unit widget; do
  build $label || { cat "$log" >&2; echo "mutate.sh: the unchanged tree does not build" >&2; exit 1; }
  runProgram $label '*'
  if [[ $runStatus != pass ]]; then
    tail -30 "$scratch/run.out" >&2
    echo "mutate.sh: the unchanged tree fails its $label tests ($runStatus in $runTest); fix them first" >&2
    exit 1
  fi
  ms=$(sed -n 's/^\[ \{7\}OK \] .* (\([0-9]*\) ms)$/\1/p' "$scratch/run.out" | sort -n | tail -1)
  ((${ms:-0} > slowest)) && slowest=$ms
done
stall=${bound:-$((5 * slowest / 1000 + 10))}
echo "a test that runs $stall s hangs (the slowest took $slowest ms); $((SECONDS - started)) s to set up"

# ---- planting ----
resultOf=() testOf=()  # per fault: CAUGHT, SURVIVED, TIMEOUT or BROKEN, and the test
[[ -n $report ]] && : >"$report"
for i in "${!mFile[@]}"; do
  file=${mFile[i]}
  if [[ $planted != "$file" ]]; then
    [[ -n $planted ]] && cp "$original" "$scratch/$planted"
    cp "$scratch/$file" "$original"
    planted=$file
  fi
  cp "$original" "$scratch/$file"
  if ((auto)); then
    LINE=${mLine[i]} FROM=${mFrom[i]} TO=${mTo[i]} perl -i -ne '
      if ($. == $ENV{LINE}) { chomp; die "line $. is not the expected one\n" if $_ ne $ENV{FROM}; $_ = "$ENV{TO}\n"; }
      print' "$scratch/$file"
  else
    FROM=${mFrom[i]} TO=${mTo[i]} perl -0777 -pi -e 's/\Q$ENV{FROM}\E/$ENV{TO}/' "$scratch/$file"
  fi
  t0=$SECONDS
  result=SURVIVED test=''
  for label in unit widget; do
    if ! build $label; then
      result=BROKEN
      break
    fi
    # The unit tests link the core alone: a fault elsewhere leaves them as they were.
    ((built)) || [[ $label == widget ]] || continue
    judge $label
    if [[ $verdict == caught ]]; then
      result=CAUGHT test=$verdictTest
      break
    elif [[ $verdict == hang ]]; then
      result=TIMEOUT test=$verdictTest
    fi
  done
  resultOf+=("$result") testOf+=("$test")
  seconds=$((SECONDS - t0))
  printf '%-9s %s%s (%d s)\n' "$result" "${mName[i]}" "${test:+  in $test}" "$seconds"
  if ((auto)) || [[ $result != CAUGHT ]]; then
    printf '    - %s\n    + %s\n' "$(strip "${mFrom[i]}")" "$(strip "${mTo[i]}")"
  fi
  [[ -n $report ]] && printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$result" "$file" "${mLine[i]}" \
    "${mName[i]#* }" "$test" "$seconds" "$(strip "${mFrom[i]}")" "$(strip "${mTo[i]}")" >>"$report"
done
[[ -n $planted ]] && cp "$original" "$scratch/$planted"
planted=''
rm -f "$original"
summary
