#!/usr/bin/env bash
# Plants the small faults listed in scripts/mutants.txt, one at a time, in a
# scratch copy of the tree, and tells which of them the unit and widget tests
# catch. A fault no test notices is a test to write, or a catalogue comment
# saying why the changed code behaves the same.
#
#   scripts/mutate.sh                    every entry
#   scripts/mutate.sh --only ini-fold    one entry (repeatable)
#   scripts/mutate.sh --file core/settings/ the entries whose file path contains this (repeatable)
#   scripts/mutate.sh --list             the entries, and whether their text is still found
#   scripts/mutate.sh --keep             keep the scratch copy (its path is printed)
#
# MUTATE_CATALOGUE names another catalogue (default scripts/mutants.txt),
# MUTATE_DIR a scratch folder to keep and reuse (default: a new one under
# $TMPDIR, removed at the end),
# MUTATE_JOBS the build and test jobs (2), MUTATE_NICE the niceness (19).
# The scratch copy is built with ccache where it is installed; the first run
# builds the whole test set once, later runs mostly hit the cache.
#
# An entry whose text is not found exactly once in its file is STALE: it is
# reported and not counted, so edit the catalogue. A mutant that does not
# build is BROKEN, likewise. A mutant that makes a test run into its CTest
# timeout counts as caught and is listed as a HANG: tests must fail, not hang.
# The last line is the caught ratio. Not part of the CI run: see CONTRIBUTING.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
catalogue=${MUTATE_CATALOGUE:-$root/scripts/mutants.txt}
jobs=${MUTATE_JOBS:-2}
niceness=${MUTATE_NICE:-19}
only=() fileFilter=() list=0 keep=0

while (($#)); do
  case $1 in
    --only) only+=("$2"); shift 2 ;;
    --file) fileFilter+=("$2"); shift 2 ;;
    --list) list=1; shift ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,/^set -euo/{/^set/d;s/^# \{0,1\}//;p}' "$0"; exit 0 ;;
    *) echo "mutate.sh: unknown argument: $1" >&2; exit 2 ;;
  esac
done

# ---- the catalogue: "@ id file", then "- exact text", then "+ replacement" ----
ids=() files=() froms=() tos=()
lineNo=0
while IFS= read -r line || [[ -n $line ]]; do
  lineNo=$((lineNo + 1))
  case $line in
    '#'*|'') continue ;;
    '@ '*)
      read -r _ id file <<<"$line"
      ids+=("$id") files+=("$file") froms+=("") tos+=("") ;;
    '- '*) froms[${#ids[@]} - 1]=${line:2} ;;
    '+ '*|'+') tos[${#ids[@]} - 1]=${line:2} ;;
    *) echo "mutants.txt:$lineNo: not an entry line: $line" >&2; exit 2 ;;
  esac
done <"$catalogue"

selected=()
for i in "${!ids[@]}"; do
  if [[ -z ${froms[i]} ]]; then
    echo "mutants.txt: entry ${ids[i]} has no '- ' text" >&2
    exit 2
  fi
  keepIt=1
  if ((${#only[@]})); then
    keepIt=0
    for o in "${only[@]}"; do [[ ${ids[i]} == "$o" ]] && keepIt=1; done
  fi
  if ((keepIt && ${#fileFilter[@]})); then
    keepIt=0
    for f in "${fileFilter[@]}"; do [[ ${files[i]} == *"$f"* ]] && keepIt=1; done
  fi
  ((keepIt)) && selected+=("$i")
done
if ((${#selected[@]} == 0)); then
  echo "mutate.sh: no catalogue entry selected" >&2
  exit 2
fi

# How often the entry's text occurs in its file under `base`.
occurrences() {
  local path=$1/${files[$2]}
  [[ -f $path ]] || { echo 0; return; }
  FROM=${froms[$2]} perl -0777 -ne '$n = () = /\Q$ENV{FROM}\E/g; print $n' "$path"
}

runnable=() stale=()
for i in "${selected[@]}"; do
  n=$(occurrences "$root" "$i")
  if [[ $n == 1 ]]; then
    runnable+=("$i")
  else
    stale+=("${ids[i]} (${files[i]}: text found $n times)")
  fi
  ((list)) && printf '%-28s %-26s %s\n' "${ids[i]}" "${files[i]}" "$([[ $n == 1 ]] && echo ok || echo "STALE ($n)")"
done
if ((list)); then exit 0; fi

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
cleanup() {
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
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
log=$scratch/mutate.log
# Warnings stay warnings: a mutant that only warns is still worth running.
nice -n "$niceness" cmake -S "$scratch" -B "$scratch/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEVEZ_WERROR=OFF -DVEVEZ_BENCH=OFF "${launcher[@]}" >"$log" 2>&1 ||
  { cat "$log" >&2; echo "mutate.sh: configure failed" >&2; exit 1; }

# Builds the test binary of one label (or both) and runs that label's
# tests, stopping at the first failure. Each test has its own CTest TIMEOUT;
# --timeout covers any that lacks one. A failing test runs up to twice
# more, so that a test that fails now and then does not count as catching
# a fault: at niceness 19 on a busy machine, a test that needs a few steps
# within one second can miss it.
build() {
  local targets=("${@/%/_tests}")
  nice -n "$niceness" cmake --build "$scratch/build" -j"$jobs" --target "${targets[@]}" >"$log" 2>&1
}
runTests() {
  nice -n "$niceness" ctest --test-dir "$scratch/build" -L "^$1\$" -j"$jobs" \
    --timeout 60 --repeat until-pass:3 --stop-on-failure >"$log" 2>&1
}

started=$SECONDS
echo "building the scratch copy in $scratch ..."
build unit widget || { cat "$log" >&2; echo "mutate.sh: the unchanged tree does not build" >&2; exit 1; }
for label in unit widget; do
  runTests $label || {
    grep -E '\*\*\*' "$log" >&2 || true
    echo "mutate.sh: the unchanged tree fails its $label tests; fix them first" >&2
    exit 1
  }
done

caught=0 survivors=() hangs=() broken=()
original=$scratch/.mutate-original
for i in "${runnable[@]}"; do
  id=${ids[i]} file=$scratch/${files[i]}
  cp "$file" "$original"
  FROM=${froms[i]} TO=${tos[i]} perl -0777 -pi -e 's/\Q$ENV{FROM}\E/$ENV{TO}/' "$file"
  t0=$SECONDS
  # The unit tests first: most faults fail there, and the widget tests then
  # need no new link.
  result=SURVIVED
  for label in unit widget; do
    if ! build $label; then
      result=BROKEN
      broken+=("$id (${files[i]}: does not build)")
      break
    elif ! runTests $label; then
      caught=$((caught + 1))
      failed=$(sed -n '1s/^[0-9]*://p' "$scratch/build/Testing/Temporary/LastTestsFailed.log" 2>/dev/null)
      result="caught by ${failed:-?}"
      if grep -q '\*\*\*Timeout' "$log"; then
        result="HANG in ${failed:-?}"
        hangs+=("$id (${failed:-?} ran into its timeout)")
      fi
      break
    fi
  done
  [[ $result == SURVIVED ]] && survivors+=("$id  ${files[i]}:  ${froms[i]}  ->  ${tos[i]}")
  # A new modification time, so the next build compiles the original again.
  cp "$original" "$file"
  printf '%-28s %-10s %4ss\n' "$id" "$result" $((SECONDS - t0))
done
rm -f "$original"

total=$((caught + ${#survivors[@]}))
echo
for s in "${stale[@]}"; do echo "STALE     $s"; done
for b in "${broken[@]}"; do echo "BROKEN    $b"; done
for h in "${hangs[@]}"; do echo "HANG      $h"; done
for s in "${survivors[@]}"; do echo "SURVIVOR  $s"; done
echo "wall time $((SECONDS - started)) s"
if ((total)); then
  printf 'caught %d/%d (%d%%), %d hang(s), %d stale, %d broken\n' "$caught" "$total" \
    $((caught * 100 / total)) "${#hangs[@]}" "${#stale[@]}" "${#broken[@]}"
else
  echo "caught 0/0: no entry ran (${#stale[@]} stale, ${#broken[@]} broken)"
fi
((${#stale[@]} == 0 && ${#broken[@]} == 0))
