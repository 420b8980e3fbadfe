#!/bin/bash
# Configured start: the panel connects, polls every 0.4 s at Refresh Rate 1, asks for the name
# tables after the first F4, fills its lists, and its buttons put the exact channel commands
# on the wire and follow the switcher's reports, as does a second panel on the same switcher.
source "$(dirname "$0")/lib.sh"

start_configured_panel

main=$(find_window '^QEV Zozudo' 20) || exit 1
window_shown '^Configuration Error' && fail "Configuration Error notice with an ini present"
offset=$(menu_offset "$main")

wait_for 10 "connection" in_trace "#1 connected"
wait_for 10 "info request" in_trace "#1 <- F2 INFO REQUEST flags 256 flags2 1 (inputs, consoles)"
wait_for 10 "console table" in_trace "#1 -> FC CONSOLE NAMES"
note "connected, tables sent"

# The info request follows the first link-up answer, never precedes it.
first_up=$(grep -nF -- '#1 -> F4 LINK UP' "$TRACE" | head -n1 | cut -d: -f1)
first_request=$(grep -nF -- '#1 <- F2' "$TRACE" | head -n1 | cut -d: -f1)
if [ -z "$first_up" ] || [ "$first_request" -lt "$first_up" ]; then
  fail "info request (line $first_request) before the first F4 (line $first_up)"
fi

# Both tables taken: from now on the poll moments carry plain polls, not the request again.
tables_line=$(grep -nF -- '#1 -> FC CONSOLE NAMES' "$TRACE" | head -n1 | cut -d: -f1)
wait_for 10 "six polls after the tables" sh -c "[ \$(tail -n +$tables_line '$TRACE' | grep -cF -- '#1 <- F5 POLL VALID') -ge 6 ]"
requests=$(tail -n +"$tables_line" "$TRACE" | grep -cF -- '#1 <- F2')
[ "$requests" -le 1 ] || fail "the info request went on after both tables ($requests more)"

check_poll_spacing "$tables_line"

# The panel answers the simulator's own polls.
wait_for 10 "answer to the server's poll" in_trace "#1 <- F4 POLL ANSWER VALID"

# The lists show the chosen entries' names.
shot=$WORK/before.png
screenshot "$main" "$shot"
for list in Console Source; do
  read -r left top _ <<<"$(control_box "cmb$list")"
  dark=$(dark_pixels "$shot" \
    "$LIST_TEXT_SIZE+$((left + LIST_TEXT_INSET))+$((top + LIST_TEXT_INSET + offset))")
  [ "$dark" -ge 10 ] || fail "the ${list,,} list shows no text"
done
read -r x y <<<"$(colour_point ON "$offset")"
colour_near "$(pixel "$shot" "$x" "$y")" "$RESTING" || fail "ON is not at rest before any report"

# A second panel on the same switcher, beside the first, shows what the first one switches.
cp -r "$PANEL_DIR" "$WORK/panel2"
start_panel "$WORK/panel2"
wait_for 20 "second panel's tables" in_trace "#2 -> FC CONSOLE NAMES"
other=$(xdotool search --onlyvisible --name '^QEV Zozudo' | grep -vx "$main" | head -n1)
[ -n "$other" ] || fail "no second panel window"
xdotool windowmove "$other" 300 0

press_and_see "$main" ON "$offset" "$LIGHT_CYAN" \
  "#1 <- D6 ON source 3 console 5 [D6 7F 00 01 02 00 04 00 01 07 FF] VALID"
expect_button "$main" OFF "$offset" "$RESTING" 5
expect_button "$other" ON "$offset" "$LIGHT_CYAN" 10
note "ON sent and shown on both panels"

press_and_see "$main" OFF "$offset" "$LIGHT_YELLOW" \
  "#1 <- D6 OFF source 3 console 5 [D6 7F 00 01 02 00 04 00 00 06 FF] VALID"
expect_button "$main" ON "$offset" "$RESTING" 5
note "OFF sent and shown"

press_and_see "$main" CUE "$offset" "$LIGHT_YELLOW" \
  "#1 <- D6 CUE ON source 3 console 5 [D6 7F 00 01 02 00 04 00 03 09 FF] VALID"
press_and_see "$main" CUE "$offset" "$RESTING" \
  "#1 <- D6 CUE OFF source 3 console 5 [D6 7F 00 01 02 00 04 00 02 08 FF] VALID"
note "CUE on and off sent and shown"

pass_well_formed
