# Sourced by the shell tests that count their checks.
#   check NAME RESULT DETAIL  counts a pass when RESULT is 0, else a failure
#                             (printed with DETAIL)
#   checks_done               prints the counts; its status is the verdict
failures=0
passes=0
check() {
  if [ "$2" = 0 ]; then passes=$((passes + 1)); else failures=$((failures + 1)); echo "FAIL: $1: $3"; fi
}
checks_done() {
  echo "$passes passed, $failures failed"
  [ $failures = 0 ]
}
