#!/bin/bash
# Two floods a broken or hostile Server Module may send, run with their long durations:
# - in one write, 1 MB of random bytes with polls among them, a message that never ends and a
#   last poll, while two busy processes keep both cores loaded: every poll must be answered;
#   prints the polls answered, the window's longest freeze and the peak resident memory;
# - a minute of channel reports that fail in their handler: prints how much the error log and
#   its archives grew.
#   faults-hostile.sh TEST_BINARY [LOG_FLOOD_SECONDS]
set -uo pipefail
binary=$1
logFloodSeconds=${2:-60}
export QT_QPA_PLATFORM=offscreen
output=$(mktemp)
usage=$(mktemp)
busy=()
stop_busy() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null; done
  busy=()
}
trap 'stop_busy; rm -f "$output" "$usage"' EXIT
status=0

# run NAME FILTER: one case of the test binary, its figures and its peak memory.
run() {
  local name=$1 filter=$2
  if /usr/bin/time -v -o "$usage" "$binary" --gtest_filter="$filter" >"$output" 2>&1 &&
    grep -q '^\[  PASSED  \] 1 test' "$output"; then
    echo "  [ PASS ] $name"
  else
    echo "  [ FAIL ] $name"
    status=1
    sed 's/^/    /' "$output"
  fi
  sed -n 's/^FIGURE: /    /p' "$output"
  sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): /    peak resident memory of the test process (KiB): /p' "$usage"
}

for _ in 1 2; do
  (while :; do :; done) &
  busy+=($!)
done
run "every poll in a flood answered with both cores busy" \
  'FaultInjection.EveryPollInAFloodIsAnsweredAndTheUnendingMessageIsCut'
stop_busy

QEV_FAULT_FLOOD_SECONDS=$logFloodSeconds QEV_FAULT_DRAIN=1 \
  run "${logFloodSeconds} s of failing channel reports: the log's growth" \
  'Messages/CostlyFlood.NeverBlocksTheWindowAndMemoryStaysBounded/FailingReports'
exit "$status"
