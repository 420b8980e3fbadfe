#!/bin/bash
# Signing out or shutting down Windows while the panel is open saves its settings, as closing
# it does: Wine's session end sends the same end-session messages. Once while it runs
# connected, once while the first-run notice is still up.
source "$(dirname "$0")/lib.sh"

start_xvfb
start_sim
make_panel_folder
# The panel must rewrite this in its own form: LF line ends, keys out of order, "bd" the
# stored form of the password "ab".
printf '%s\n' "[CONFIGURATION]" "CONFIG" "Console=5" "Input=3" "Stay On Top=No" "SETUP" \
  "IP Port=$SIM_PORT" "IP Address=127.0.0.1" "SECURITY" "User Name=op" "Password=bd" \
  >"$PANEL_DIR/qevntpnl.ini"
start_panel
main=$(find_window '^QEV Zozudo' 60) || exit 1
wait_for 30 "connection" in_trace "#1 connected"
wineboot --end-session
wait_panel_exit 30
expect_ini "$PANEL_DIR/qevntpnl.ini" 127.0.0.1 "$SIM_PORT" 3 5 No op bd
note "the session end wrote the ini"

rm "$PANEL_DIR/qevntpnl.ini"
start_panel
notice=$(find_window '^Configuration Error' 60) || exit 1
keep_screenshot "$notice" first-run-notice
wineboot --end-session
wait_panel_exit 30
expect_ini "$PANEL_DIR/qevntpnl.ini" "" 1250 1 0 Yes "" ""
note "a session end during the first-run notice wrote the start-up settings"
pass
