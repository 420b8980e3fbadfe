#!/usr/bin/env bash
# sign.sh FILE...: signs Windows programs, installers and Windows Installer packages in place
# with Authenticode (SHA-256) when a code-signing certificate is given: QEV_SIGN_PFX names a
# PKCS#12 file, QEV_SIGN_PASSWORD is its password. Without QEV_SIGN_PFX it does nothing (the
# build says once that it is unsigned). Run by the install step, by NSIS for the installer and
# its uninstaller, and by Msi.cmake for the package.
#
# No time stamp: this machine reaches no time-stamp server. A signature without one is no
# longer trusted once the certificate expires; see the README for what a release adds.
set -euo pipefail
[ -n "${QEV_SIGN_PFX:-}" ] || exit 0
[ -f "$QEV_SIGN_PFX" ] || { echo "sign.sh: no certificate file $QEV_SIGN_PFX" >&2; exit 1; }
for file in "$@"; do
  # The password through a file descriptor, so it never shows in the process list.
  osslsigncode sign -pkcs12 "$QEV_SIGN_PFX" -readpass <(printf '%s' "${QEV_SIGN_PASSWORD:-}") \
    -h sha256 -n "QEV Zozudo soft panel" -i "https://www.quillmoor.example/" \
    -in "$file" -out "$file.signed" >/dev/null ||
    { rm -f "$file.signed"; echo "sign.sh: could not sign $file" >&2; exit 1; }
  mv "$file.signed" "$file"
done
