# shellcheck shell=bash disable=SC2034
# Shared by the Windows whole-program tests: the Linux tests' helpers (lib.sh of tests/system),
# with the panel taken from the Windows packages and run under Wine, in a Wine prefix of the
# test's own, against the Linux simulator on loopback.
#
# Usage from a test: source lib.sh ZIP INSTALLER SIMULATOR_BINARY [MSI BUILD_FOLDER]
# QEV_WINE_BASE: a ready Wine prefix that each test copies, instead of making its own (slow).
# QEV_SCREENSHOTS: a folder where keep_screenshot leaves its pictures.

PACKAGE_ZIP=$1
PACKAGE_SETUP=$2
PACKAGE_MSI=${4:-}
WINDOWS_BUILD=${5:-}
source "$(dirname "${BASH_SOURCE[0]}")/../system/lib.sh" "" "$3"

export WINEPREFIX=$WORK/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -n "${QEV_WINE_BASE:-}" ] && [ -f "$QEV_WINE_BASE/system.reg" ]; then
  cp -a "$QEV_WINE_BASE" "$WINEPREFIX"
else
  wineboot -i >/dev/null 2>&1
fi
DRIVE_C=$WINEPREFIX/drive_c
INSTALL_DIR="$DRIVE_C/Program Files/QEV Zozudo"
# Qt's AppConfigLocation on Windows, for the application name the panel gives itself.
USER_SETTINGS=$DRIVE_C/users/$(id -un)/AppData/Local/qevntpnl

# Everything the test started in its prefix ends with it, Wine's own services included.
windows_cleanup() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  cleanup
}
trap windows_cleanup EXIT

# The portable zip, unpacked as the panel's folder (the zip holds one folder of that name).
make_panel_folder() {
  unzip -q "$PACKAGE_ZIP" -d "$WORK/unzip" || fail "cannot unpack $PACKAGE_ZIP"
  mv "$WORK/unzip/$(basename "$PACKAGE_ZIP" .zip)" "$PANEL_DIR" || fail "the zip has no folder of its name"
}

# start_panel [FOLDER]: qevntpnl.exe in FOLDER (PANEL_DIR unless given), started from there.
start_panel() {
  local dir=${1:-$PANEL_DIR}
  (cd "$dir" && exec wine ./qevntpnl.exe) >>"$WORK/panel.out" 2>&1 &
  PANEL_PID=$!
}

# keep_screenshot WINDOW NAME: a picture of the window for people to look at.
keep_screenshot() {
  [ -n "${QEV_SCREENSHOTS:-}" ] || return 0
  mkdir -p "$QEV_SCREENSHOTS"
  screenshot "$1" "$QEV_SCREENSHOTS/$2.png"
}

# file_exit WINDOW: File > Exit, by its access keys; the panel must end within 20 s.
file_exit() {
  keys "$1" alt+f x
  wait_panel_exit 20
}

# expect_ini FILE ARGUMENTS...: the file is exactly the 13 lines ini_text gives for them.
expect_ini() {
  local file=$1
  shift
  ini_text "$@" >"$WORK/expected.ini"
  cmp -s "$WORK/expected.ini" "$file" ||
    fail "$file is not the expected 13 lines:$(echo; od -c "$file" 2>&1 | head -20)"
}
