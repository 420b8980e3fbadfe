#!/bin/bash
# A signed build, with a throwaway certificate made here: the build's own packaging, given the
# certificate, signs the programs, the NSIS installer, the uninstaller it writes and the Windows
# Installer package, each with a good SHA-256 Authenticode signature from that certificate; and
# the signed panel, installed, still starts and connects under Wine.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../../scripts/lib/signing.sh"

make_test_certificate "$WORK/signing" || fail "could not make a test certificate"
cert=$WORK/signing/cert.pem
cpack --config "$WINDOWS_BUILD/CPackConfig.cmake" -G NSIS -B "$WORK/packages" >"$WORK/cpack.out" 2>&1 ||
  fail "the signed installer was not made: $(tail -5 "$WORK/cpack.out")"
setup=$WORK/packages/$(basename "$PACKAGE_SETUP")
cmake -DQEV_MSI_OUTPUT="$WORK/packages/signed.msi" -P "$WINDOWS_BUILD/packaging/msi.cmake" \
  >"$WORK/msi.out" 2>&1 || fail "the signed package was not made: $(tail -5 "$WORK/msi.out")"
verify_signed "$cert" "$setup" "$WORK/packages/signed.msi" || fail "a package is not signed"
note "signed and verified: $(basename "$setup"), the Windows Installer package"

start_xvfb
wine "$setup" /S >>"$WORK/setup.out" 2>&1 || fail "the signed installer failed"
wait_for 60 "installed program" test -f "$INSTALL_DIR/qevntpnl.exe"
wait_for 30 "uninstaller" test -f "$INSTALL_DIR/Uninstall.exe"
verify_signed "$cert" "$INSTALL_DIR/qevntpnl.exe" "$INSTALL_DIR/Uninstall.exe" ||
  fail "an installed program is not signed"
# The simulator is not installed by default: installed here, once with the certificate and
# once without.
cmake --install "$WINDOWS_BUILD" --prefix "$WORK/signed" --component simulator >/dev/null
verify_signed "$cert" "$WORK/signed/qev-server-sim.exe" || fail "the simulator is not signed"
QEV_SIGN_PFX="" cmake --install "$WINDOWS_BUILD" --prefix "$WORK/unsigned" --component simulator >/dev/null
if verify_signed "$cert" "$WORK/unsigned/qev-server-sim.exe" 2>/dev/null; then
  fail "a build without a certificate signed the simulator"
fi
note "signed and verified: qevntpnl.exe, Uninstall.exe, qev-server-sim.exe; unsigned without a certificate"

start_sim
ini_text 127.0.0.1 "$SIM_PORT" 3 5 No "" "" >"$INSTALL_DIR/qevntpnl.ini"
start_panel "$INSTALL_DIR"
main=$(find_window '^QEV Zozudo' 60) || exit 1
wait_for 30 "connection from the signed panel" in_trace "#1 connected"
file_exit "$main"
note "the signed panel started and connected"
pass
