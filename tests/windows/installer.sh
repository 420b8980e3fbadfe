#!/bin/bash
# The installer, run silently: the panel lands in Program Files with a Start-menu entry and an
# uninstaller in the list of programs, the simulator only if asked for. The installed panel
# starts from the administrator's preset beside it and keeps its own settings in the user's
# application-data folder, never in Program Files. The uninstaller takes the program away.
source "$(dirname "$0")/lib.sh"

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QEV Zozudo'

# The X server first: the Wine session the installer starts is the one the panel shows in.
start_xvfb
wine "$PACKAGE_SETUP" /S >>"$WORK/setup.out" 2>&1 || fail "the installer failed: $(cat "$WORK/setup.out")"
wait_for 60 "installed program" test -f "$INSTALL_DIR/qevntpnl.exe"
wait_for 30 "installed runtime" test -f "$INSTALL_DIR/platforms/qwindows.dll"
[ ! -e "$INSTALL_DIR/qev-server-sim.exe" ] || fail "the simulator was installed without being asked for"
wine reg query "$uninstall_key" /v UninstallString >"$WORK/reg.out" 2>&1 ||
  fail "no uninstaller in the list of programs"
[ -n "$(find "$DRIVE_C" -path '*Start Menu/Programs/QEV Zozudo/QEV Zozudo.lnk')" ] ||
  fail "no Start-menu entry \"QEV Zozudo\""
note "installed: program, runtime, Start-menu entry, uninstaller registered"

start_sim
# The administrator's preset, beside the installed program.
ini_text 127.0.0.1 "$SIM_PORT" 3 5 No op bd >"$INSTALL_DIR/qevntpnl.ini"
cp "$INSTALL_DIR/qevntpnl.ini" "$WORK/preset.ini"
start_panel "$INSTALL_DIR"
main=$(find_window '^QEV Zozudo' 60) || exit 1
wait_for 30 "connection with the preset's address" in_trace "#1 connected"
keep_screenshot "$main" installed-connected
file_exit "$main"
expect_ini "$USER_SETTINGS/qevntpnl.ini" 127.0.0.1 "$SIM_PORT" 3 5 No op bd
cmp -s "$WORK/preset.ini" "$INSTALL_DIR/qevntpnl.ini" || fail "the preset was changed"
leftovers=$(find "$INSTALL_DIR" -newer "$WORK/preset.ini" -type f)
[ -z "$leftovers" ] || fail "the installed panel wrote into Program Files: $leftovers"
note "settings saved in the user's AppData folder; Program Files untouched"

rm "$INSTALL_DIR/qevntpnl.ini"
wine "$INSTALL_DIR/Uninstall.exe" /S >>"$WORK/setup.out" 2>&1
wait_for 60 "uninstall" sh -c "! test -e '$INSTALL_DIR'"
if wine reg query "$uninstall_key" >/dev/null 2>&1; then fail "the uninstaller left its entry"; fi
note "uninstalled"
pass
