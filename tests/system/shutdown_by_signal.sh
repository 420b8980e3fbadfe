#!/bin/bash
# SIGTERM closes the panel the way its close box does: the settings it read are written back
# in the 13-line form, and the failures of the run are in the error log under its header.
source "$(dirname "$0")/lib.sh"

start_xvfb
# Eight console names: the console list, which always wants 256, cannot be filled, and the
# panel records that in its error log.
start_sim --console-count 8
make_panel_folder
# The panel must rewrite this: LF line ends, keys out of order, an unknown line. "bd" is the
# password "ab" in its stored form.
printf '%s\n' "[CONFIGURATION]" "CONFIG" "Console=5" "Input=3" "Stay On Top=No" "SETUP" \
  "IP Port=$SIM_PORT" "IP Address=127.0.0.1" "Colour=Blue" "Refresh Rate=1" "Time Out=20" \
  "SECURITY" "User Name=op" "Password=bd" >"$PANEL_DIR/qevntpnl.ini"
start_panel
find_window '^QEV Zozudo' 20 >/dev/null || exit 1

wait_for 10 "connection" in_trace "#1 connected"
wait_for 10 "console table" in_trace "#1 -> FC CONSOLE NAMES length 13 count 8"
wait_for 10 "error log" test -s "$PANEL_DIR/Errorlog.txt"

kill -TERM "$PANEL_PID"
wait_panel_exit 10
note "panel ended on SIGTERM"

expected=$WORK/expected.ini
ini_text 127.0.0.1 "$SIM_PORT" 3 5 No op bd >"$expected"
cmp -s "$expected" "$PANEL_DIR/qevntpnl.ini" ||
  fail "qevntpnl.ini not rewritten as expected:$(echo; od -c "$PANEL_DIR/qevntpnl.ini" | head -20)"
note "qevntpnl.ini written back"

log=$PANEL_DIR/Errorlog.txt
check_error_log_header "$log"
# Records: the date-time field, the location from column 24, the message from column 60.
tail -n +12 "$log" | tr -d '\r' >"$WORK/records.txt"
grep -qE '^.{24}Form Error {26}Error Loading Console Combo Box: Error # -?[0-9]+ - ' \
  "$WORK/records.txt" || fail "no console list record in the error log:$(echo; cat "$WORK/records.txt")"
note "error log: header and the console list record"
pass
