# shellcheck shell=bash
# A throwaway code-signing certificate for the tests of the signed Windows build, and the check
# that a file carries a good signature from it. Nothing here is fit to sign a release.

# make_test_certificate FOLDER: a self-signed code-signing certificate in FOLDER (cert.pem and
# the PKCS#12 file sign.pfx), exported as QEV_SIGN_PFX and QEV_SIGN_PASSWORD for sign.sh.
make_test_certificate() {
  local folder=$1
  mkdir -p "$folder"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=QEV Zozudo test signing" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$folder/key.pem" -out "$folder/cert.pem" \
    2>/dev/null || return 1
  export QEV_SIGN_PASSWORD=throwaway-$$ QEV_SIGN_PFX=$folder/sign.pfx
  openssl pkcs12 -export -inkey "$folder/key.pem" -in "$folder/cert.pem" -out "$QEV_SIGN_PFX" \
    -passout env:QEV_SIGN_PASSWORD || return 1
}

# verify_signed CERT FILE...: each file carries a valid Authenticode signature, SHA-256, by the
# certificate CERT. Says which file does not, and fails.
verify_signed() {
  local cert=$1 file out
  shift
  for file in "$@"; do
    if ! out=$(osslsigncode verify -CAfile "$cert" -in "$file" 2>&1) ||
      ! grep -q "Signature verification: ok" <<<"$out" || ! grep -qi "sha256" <<<"$out"; then
      echo "not signed with the test certificate: $file" >&2
      echo "$out" | tail -5 >&2
      return 1
    fi
  done
}
