#!/bin/bash
# The portable zip under Wine: a Windows GUI program with its version information, which
# stays on top, connects, polls every 0.4 s at Refresh Rate 1, puts the exact channel commands
# on the wire, lights its buttons from the switcher's reports, and on File > Exit writes its
# 13-line ini beside itself.
source "$(dirname "$0")/lib.sh"

make_panel_folder
exe=$PANEL_DIR/qevntpnl.exe
# Subsystem 2 is a GUI program: Windows opens no console window with it.
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -q '^Subsystem.*(Windows GUI)' <<<"$headers" || fail "qevntpnl.exe is not a Windows GUI program"
version=$(basename "$PACKAGE_ZIP" | sed 's/^qevntpnl-\(.*\)-windows-x64\.zip$/\1/')
texts=$(strings -n 3 -el "$exe")
grep -x -A1 ProductVersion <<<"$texts" | grep -x "$version" >/dev/null ||
  fail "qevntpnl.exe has no version information for $version"
for file in platforms/qwindows.dll styles/qwindowsvistastyle.dll LICENSE.txt qev-server-sim.exe; do
  [ -f "$PANEL_DIR/$file" ] || fail "the zip has no $file"
done

start_xvfb
start_sim
write_ini "$SIM_PORT" 3 5
start_panel
main=$(find_window '^QEV Zozudo' 60) || exit 1
offset=$(menu_offset "$main")
# "Stay On Top=Yes": the topmost window order, which Wine hands on to X as "above".
[[ $(xprop -id "$main" _NET_WM_STATE) == *_NET_WM_STATE_ABOVE* ]] || fail "the panel is not on top"
wait_for 30 "connection" in_trace "#1 connected"
wait_for 20 "console table" in_trace "#1 -> FC CONSOLE NAMES"
note "connected, tables sent"

tables_line=$(grep -nF -- '#1 -> FC CONSOLE NAMES' "$TRACE" | head -n1 | cut -d: -f1)
wait_for 20 "six polls after the tables" sh -c "[ \$(tail -n +$tables_line '$TRACE' | grep -cF -- '#1 <- F5 POLL VALID') -ge 6 ]"
check_poll_spacing "$tables_line"
keep_screenshot "$main" portable-connected

press_and_see "$main" ON "$offset" "$LIGHT_CYAN" \
  "#1 <- D6 ON source 3 console 5 [D6 7F 00 01 02 00 04 00 01 07 FF] VALID" 20
keep_screenshot "$main" portable-on
press_and_see "$main" OFF "$offset" "$LIGHT_YELLOW" \
  "#1 <- D6 OFF source 3 console 5 [D6 7F 00 01 02 00 04 00 00 06 FF] VALID" 20
expect_button "$main" ON "$offset" "$RESTING" 10
press_and_see "$main" CUE "$offset" "$LIGHT_YELLOW" \
  "#1 <- D6 CUE ON source 3 console 5 [D6 7F 00 01 02 00 04 00 03 09 FF] VALID" 20
keep_screenshot "$main" portable-off-cue
note "ON, OFF and CUE sent byte for byte and shown"

file_exit "$main"
expect_ini "$PANEL_DIR/qevntpnl.ini" 127.0.0.1 "$SIM_PORT" 3 5 Yes "" ""
note "File > Exit wrote the ini beside the program"
pass_well_formed
