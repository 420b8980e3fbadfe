#!/bin/bash
# First run, no qevntpnl.ini: the "Configuration Error" notice, then Setup, both before the
# main window; Cancel leaves the panel unconnected; closing writes the default settings.
source "$(dirname "$0")/lib.sh"

start_xvfb
start_sim
make_panel_folder
start_panel

box=$(find_window '^Configuration Error' 20) || exit 1
window_shown '^QEV Zozudo' && fail "main window shown before the Configuration Error notice"
note "Configuration Error notice up, main window not yet shown"
keys "$box" Return
wait_for 10 "notice closed" sh -c "! xdotool search --onlyvisible --name '^Configuration Error'"

setup=$(find_window '^Setup' 10) || exit 1
window_shown '^QEV Zozudo' && fail "main window shown before the Setup dialog closed"
note "Setup up, main window not yet shown"
click_control "$setup" frmSetup.cmdCancel 0 10 "closed Setup" \
  sh -c "! xdotool search --onlyvisible --name '^Setup'"

main=$(find_window '^QEV Zozudo' 10) || exit 1
note "main window up after Cancel"

# Nothing may connect: watch for a while, the panel's sockets and the simulator's trace both.
deadline=$(($(now_ms) + 1500))
while [ "$(now_ms)" -lt "$deadline" ]; do
  panel_has_tcp_socket && fail "the panel opened a TCP connection after Cancel"
  sleep 0.1
done
in_trace "connected" && fail "something connected to the simulator"
[ -e "$PANEL_DIR/qevntpnl.ini" ] && fail "Cancel wrote qevntpnl.ini"

# File > Exit, the operator's way out; a signal if the keys do not reach the menu.
keys "$main" alt+f x
if ! wait_until 5 sh -c "! kill -0 $PANEL_PID"; then
  note "File > Exit did not close the panel; closing it with SIGTERM"
  kill -TERM "$PANEL_PID"
fi
wait_panel_exit 10

expected=$WORK/expected.ini
ini_text "" 1250 1 0 Yes "" "" >"$expected"
cmp -s "$expected" "$PANEL_DIR/qevntpnl.ini" ||
  fail "qevntpnl.ini is not the default:$(echo; od -c "$PANEL_DIR/qevntpnl.ini" | head -20)"
note "default qevntpnl.ini written"

[ -e "$PANEL_DIR/Errorlog.txt" ] && check_error_log_header "$PANEL_DIR/Errorlog.txt"
pass
