#!/bin/bash
# The Windows Installer package, installed silently as a facility deploys it, with the Server
# Module's address and port as properties: the panel lands in Program Files with its Start-menu
# entry and its entry in the list of programs, the administrator's preset beside it is exactly
# the panel's own file, and the installed panel, started as a user, connects with it and keeps
# its own settings in AppData. An address Setup would refuse stops the install, saying why in
# the install log. A newer version replaces the older one in place and keeps the preset;
# uninstalling takes the program and the preset away and leaves the user's settings.
source "$(dirname "$0")/lib.sh"

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
run_msiexec() {
  local log=$1
  shift
  wine msiexec "$@" /qn /l*v "$(winepath -w "$WORK/$log")" >>"$WORK/msiexec.out" 2>&1
}
start_xvfb
start_sim

# Refused before anything is installed.
if run_msiexec refused.log /i "$PACKAGE_MSI" SERVERADDRESS=192.168.1 SERVERPORT="$SIM_PORT"; then
  fail "an address Setup refuses was installed"
fi
grep -aq 'SERVERADDRESS="192.168.1" refused' "$WORK/refused.log" ||
  fail "the install log does not say why: $(grep -a qevpreset "$WORK/refused.log")"
[ ! -e "$INSTALL_DIR" ] || fail "a refused install left $INSTALL_DIR"
note "refused: $(grep -a -o 'qevpreset: .*' "$WORK/refused.log")"

run_msiexec install.log /i "$PACKAGE_MSI" SERVERADDRESS=127.0.0.1 SERVERPORT="$SIM_PORT" ||
  fail "the install failed: $(tail -5 "$WORK/msiexec.out")"
test -f "$INSTALL_DIR/qevntpnl.exe" && test -f "$INSTALL_DIR/platforms/qwindows.dll" ||
  fail "the program or its runtime is missing"
[ ! -e "$INSTALL_DIR/qev-server-sim.exe" ] || fail "the simulator was installed without being asked for"
older=$(product_code "$PACKAGE_MSI")
wine reg query "$uninstall_key\\$older" /v DisplayName >/dev/null 2>&1 ||
  fail "no entry $older in the list of programs"
shortcut=$(find "$DRIVE_C" -path '*Start Menu/Programs/QEV Zozudo.lnk' | head -n 1)
[ -n "$shortcut" ] || fail "no Start-menu entry \"QEV Zozudo\""
expect_ini "$INSTALL_DIR/qevntpnl.ini" 127.0.0.1 "$SIM_PORT" 1 0 Yes "" ""
grep -a -o 'qevpreset: .*' "$WORK/install.log" | while read -r line; do note "install log: $line"; done
cp "$INSTALL_DIR/qevntpnl.ini" "$WORK/preset.ini"

start_panel "$INSTALL_DIR"
main=$(find_window '^QEV Zozudo' 60) || exit 1
wait_for 30 "connection with the preset's address" in_trace "#1 connected"
keep_screenshot "$main" msi-connected
file_exit "$main"
test -f "$USER_SETTINGS/qevntpnl.ini" || fail "the panel kept no settings in AppData"
cmp -s "$WORK/preset.ini" "$INSTALL_DIR/qevntpnl.ini" || fail "the panel changed the preset"
leftovers=$(find "$INSTALL_DIR" -newer "$WORK/preset.ini" -type f)
[ -z "$leftovers" ] || fail "the installed panel wrote into Program Files: $leftovers"
note "installed: program, preset, Start-menu entry, list of programs; the panel connected"

# A newer build of the package, and the simulator asked for this time.
newer=$WORK/newer.msi
cmake -DQEV_MSI_VERSION=99.1.2 -DQEV_MSI_OUTPUT="$newer" -P "$WINDOWS_BUILD/packaging/msi.cmake" \
  >"$WORK/newer.out" 2>&1 || fail "could not make a newer package: $(tail -5 "$WORK/newer.out")"
run_msiexec upgrade.log /i "$newer" ADDLOCAL=ALL ||
  fail "the upgrade failed: $(tail -5 "$WORK/msiexec.out")"
if wine reg query "$uninstall_key\\$older" >/dev/null 2>&1; then fail "the older version is still listed"; fi
wine reg query "$uninstall_key\\$(product_code "$newer")" /v DisplayVersion 2>/dev/null | grep -q 99.1.2 ||
  fail "the newer version is not listed"
test -f "$INSTALL_DIR/qevntpnl.exe" && test -f "$INSTALL_DIR/qev-server-sim.exe" ||
  fail "the upgrade did not leave the program and the simulator"
cmp -s "$WORK/preset.ini" "$INSTALL_DIR/qevntpnl.ini" || fail "the upgrade did not keep the preset"
note "upgraded in place to 99.1.2, with the simulator; the preset kept"

cp "$USER_SETTINGS/qevntpnl.ini" "$WORK/user.ini"
run_msiexec remove.log /x "$newer" || fail "the uninstall failed: $(tail -5 "$WORK/msiexec.out")"
[ ! -e "$INSTALL_DIR" ] || fail "the uninstall left $(find "$INSTALL_DIR" | head -5)"
[ ! -e "$shortcut" ] || fail "the uninstall left the Start-menu entry"
if wine reg query "$uninstall_key\\$(product_code "$newer")" >/dev/null 2>&1; then
  fail "the uninstall left its entry in the list of programs"
fi
cmp -s "$WORK/user.ini" "$USER_SETTINGS/qevntpnl.ini" || fail "the uninstall touched the user's settings"
note "uninstalled: program and preset gone, the user's settings kept"
pass
