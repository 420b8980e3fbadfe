#!/bin/bash
# A panel whose polls are all answered is held up for 10 s (SIGSTOP, as a suspended laptop or
# a paused virtual machine would be), then let go. It must poll on as a periodic timer does,
# one late tick and no burst, and keep its link.
#   faults-stall.sh PANEL SIMULATOR [STOP_SECONDS]
stopSeconds=${3:-10}
source "$(dirname "$0")/../../tests/system/lib.sh"
source "$(dirname "$0")/wire.sh"

start_xvfb
start_sim
make_panel_folder
write_ini "$SIM_PORT" 3 5
start_panel
find_window '^QEV Zozudo' 20 >/dev/null
wait_for 20 "name tables" in_trace "-> FC CONSOLE NAMES"
sleep 2

mark=$(trace_lines)
kill -STOP "$PANEL_PID"
sleep "$stopSeconds"
resumed=$(clock_seconds)
kill -CONT "$PANEL_PID"
sleep 5

burst=$(poll_seconds "$mark" | awk -v from="$resumed" '$1 >= from' | most_within 0.1)
first=$(poll_seconds "$mark" | awk -v from="$resumed" '$1 >= from { printf "%.3f", $1 - from; exit }')
closes=$(closes_since "$mark")
echo "FIGURE: stopped ${stopSeconds} s with polls answered: at most $burst polls within 0.1 s" \
  "after SIGCONT, the first ${first:-none} s after it; links closed by the panel: $closes"
[ "$burst" -le 2 ] || fail "$burst polls within 0.1 s after the stall"
[ "$closes" -eq 0 ] || fail "the panel dropped a healthy link after the stall"
[ -n "$first" ] || fail "no poll after the stall"
pass
