#!/bin/bash
# The server reports a channel and closes the link at once, so that the report and the close
# reach the panel together, and every link after it is silent: no later arrival can carry the
# report's bytes along. The report is decoded, but the switcher may change while the panel
# cannot hear it: once the close is seen, ON must be back at rest and stay there, on a link that
# says nothing. (Which of the two the panel sees first over loopback is Qt's business; the
# core's tests drive both orders with a fake socket.)
#   faults-report-close.sh PANEL SIMULATOR
source "$(dirname "$0")/../../tests/system/lib.sh"
source "$(dirname "$0")/wire.sh"

start_xvfb
control=$WORK/control
# Greeting (2 messages), then the report is the 3rd; no polls either way to come in between.
start_sim --no-poll-answer --poll-panel-ms 0 --close-after 3 --control "$control"
make_panel_folder
write_ini "$SIM_PORT" 3 5
start_panel
main=$(find_window '^QEV Zozudo' 20)
offset=$(menu_offset "$main")
wait_for 10 "the panel's type answer" in_trace "#1 <- 81 TYPE ANSWER"
echo "no-poll-answer silent" >"$control"
wait_for 5 "silent server" in_trace "live faults: no-poll-answer silent"

pressed=$(now_ms)
click_control "$main" cmdOn "$offset" 10 "report and close" \
  in_trace "#1 closing the link after 3 messages"
wait_for 10 "the link shown down" in_trace "#2 connected"
read -r x y <<<"$(colour_point ON "$offset")"
if wait_until 5 button_is "$main" "$x" "$y" "$RESTING"; then
  sleep 1
  if button_is "$main" "$x" "$y" "$RESTING"; then
    echo "FIGURE: report then close: ON at rest $(($(now_ms) - pressed)) ms after the press"
    pass
  fi
fi
echo "FIGURE: report then close: ON still lit from the closed link"
fail "the closed link's report stayed on the button"
