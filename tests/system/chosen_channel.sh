#!/bin/bash
# The buttons show the chosen channel and nothing else. Source 3 switched on lights ON; the
# keys move the Source list to source 4, which the switcher has said nothing about, and
# neither ON nor OFF is lit; back on source 3, ON is lit again from the switcher's earlier
# word. A wheel turned over the list changes nothing. The simulator then goes away and comes
# back with every channel off: ON rests from the moment the link drops. Last, a saved source
# beyond the server's 16 inputs is still named on the closed list. Screenshots (QEV_KEEP=1):
# chosen-remembered.png, chosen-unknown.png, after-outage.png, not-in-list.png.
source "$(dirname "$0")/lib.sh"

# list_shows_text LIST FILE: the closed list (Console or Source) shows some text.
list_shows_text() {
  local left top
  read -r left top _ <<<"$(control_box "cmb$1")"
  [ "$(dark_pixels "$2" \
    "$LIST_TEXT_SIZE+$((left + LIST_TEXT_INSET))+$((top + LIST_TEXT_INSET + offset))")" -ge 10 ]
}

start_configured_panel
main=$(find_window '^QEV Zozudo' 20)
offset=$(menu_offset "$main")
wait_for 20 "the name tables" in_trace "#1 -> FC CONSOLE NAMES"

press_and_see "$main" ON "$offset" "$LIGHT_CYAN" \
  "#1 <- D6 ON source 3 console 5 [D6 7F 00 01 02 00 04 00 01 07 FF] VALID"
screenshot "$main" "$WORK/chosen-remembered.png"

# The press left the focus on ON: CUE, Console, Source; Down chooses source 4.
keys "$main" Tab Tab Tab Down
expect_button "$main" ON "$offset" "$RESTING" 5
expect_button "$main" OFF "$offset" "$RESTING" 5
screenshot "$main" "$WORK/chosen-unknown.png"
keys "$main" Up
expect_button "$main" ON "$offset" "$LIGHT_CYAN" 5
note "a change of source shows what the switcher said of the new one, or nothing"

read -r x y <<<"$(control_centre cmbSource)"
xdotool mousemove --window "$main" "$x" $((y + offset)) click 5 click 5 click 4
sleep 0.5
expect_button "$main" ON "$offset" "$LIGHT_CYAN" 2
note "the wheel left source 3 chosen"

stop_sim
expect_button "$main" ON "$offset" "$RESTING" 10
start_sim --port "$SIM_PORT"
wait_for 20 "the panel back" sh -c "[ \$(grep -c '#1 connected from' '$TRACE') -ge 2 ]"
wait_for 20 "the name tables again" sh -c "[ \$(grep -c '#1 -> FC CONSOLE NAMES' '$TRACE') -ge 2 ]"
expect_button "$main" ON "$offset" "$RESTING" 2
expect_button "$main" OFF "$offset" "$RESTING" 2
screenshot "$main" "$WORK/after-outage.png"
note "after the outage nothing is lit until the new link reports"

stop_pid "$PANEL_PID"
write_ini "$SIM_PORT" 41 5
start_panel
main=$(find_window '^QEV Zozudo' 20)
wait_for 20 "the third link's name tables" \
  sh -c "[ \$(grep -c '#2 -> FC CONSOLE NAMES' '$TRACE') -ge 1 ]"
sleep 0.5
screenshot "$main" "$WORK/not-in-list.png"
list_shows_text Source "$WORK/not-in-list.png" || fail "the Source list is blank for source 41"
note "a saved source beyond the server's list is still on screen"
pass
