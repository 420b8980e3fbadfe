#!/bin/bash
# A server that sends noise between its messages and the largest legal name table: the panel
# takes the table, keeps polling, and its window keeps working.
source "$(dirname "$0")/lib.sh"

start_configured_panel --garbage --full-table
main=$(find_window '^QEV Zozudo' 20) || exit 1
offset=$(menu_offset "$main")

wait_for 10 "connection" in_trace "#1 connected"
wait_for 20 "full-size table" in_trace "-> FC INPUT NAMES length 127 count 16383"
note "2,113,416-byte table sent"

# Once the panel has taken both tables its poll moments carry plain polls again; five of them
# after the last table show that it took the table and goes on polling.
polls_after_last_table() {
  local last
  last=$(grep -nF -- '-> FC CONSOLE NAMES' "$TRACE" | tail -n1 | cut -d: -f1)
  [ "$(tail -n +"${last:-1}" "$TRACE" | grep -cF -- '<- F5 POLL VALID')" -ge 5 ]
}
wait_for 40 "polls after the tables" polls_after_last_table
note "polling goes on"

# The window still answers: the name is there and a click is handled.
[ "$(xdotool getwindowname "$main")" = "QEV Zozudo" ] || fail "window name lost"
press_and_see "$main" ON "$offset" "$LIGHT_CYAN" \
  "<- D6 ON source 3 console 5 [D6 7F 00 01 02 00 04 00 01 07 FF] VALID" 20
note "the window answers a click"

pass_well_formed
