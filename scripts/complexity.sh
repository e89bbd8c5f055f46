#!/usr/bin/env bash
# Fails when a function of the program (core/, gui/, leakcheck/, their
# headers included) has a cognitive complexity above 25 as clang-tidy counts
# it: such a function does too much to be read at once; split it into named
# steps.
#   scripts/complexity.sh [BUILD_DIR]   (default build/, which must hold
#                                        compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
limit=25
[[ -f $build/compile_commands.json ]] || { echo "complexity: no $build/compile_commands.json" >&2; exit 2; }
config="{CheckOptions: [{key: readability-function-cognitive-complexity.Threshold, value: $limit},
  {key: readability-function-cognitive-complexity.DescribeBasicIncrements, value: false}]}"
report=$(git ls-files -z 'core/*.cpp' 'gui/*.cpp' 'leakcheck/*.cpp' |
  xargs -0 -P"$(nproc)" -n4 clang-tidy -p "$build" --quiet --header-filter="^$PWD/(core|gui|leakcheck)/" \
    --checks='-*,readability-function-cognitive-complexity' --config="$config" 2>/dev/null |
  grep 'warning:' | sort -u || true)
if [[ -n $report ]]; then
  echo "$report"
  echo "complexity: $(wc -l <<<"$report") function(s) above $limit" >&2
  exit 1
fi
echo "complexity: no function above $limit"
