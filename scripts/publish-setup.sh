#!/usr/bin/env bash
# Prints the package service's reply for a new full setup, computed from the
# signed file itself, after checking that the file's signature verifies and
# that its signer's key is one the release pins: a reply can then never carry
# the size and digest of an unsigned or re-signed file.
# Usage: PUBLISHER_KEYS=a.cer[,b.cer] [CA_FILE=roots.pem] \
#          scripts/publish-setup.sh SETUP VERSION DOWNLOAD_URL
#   PUBLISHER_KEYS  the certificates the release was built with (make release PUBLISHER_KEYS=...)
#   CA_FILE         the roots the signature's chain must end in (default: the machine's)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 3 ] || { sed -n '2,10p' "$0" >&2; exit 2; }
setup=$1 version=$2 url=$3
[ -n "${PUBLISHER_KEYS:-}" ] || { echo "publish: PUBLISHER_KEYS names no certificate" >&2; exit 2; }
# The texts go into JSON as they are: nothing that would need escaping.
for text in "$version" "$url"; do
  [[ $text =~ ^[[:graph:]]+$ && $text != *'"'* && $text != *'\'* ]] ||
    { echo "publish: '$text' has a quote, backslash, space or control character" >&2; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if ! osslsigncode verify -in "$setup" ${CA_FILE:+-CAfile "$CA_FILE"} >"$tmp/verify" 2>&1; then
  echo "publish: $setup: its signature does not verify (osslsigncode verify):" >&2
  tail -n 5 "$tmp/verify" >&2
  exit 1
fi
# The primary signature's signer, the one Windows judges.
serial=$(awk '/^Signer.s certificate:/ {found = 1} found && /Serial :/ {print $3; exit}' "$tmp/verify")
osslsigncode extract-signature -in "$setup" -out "$tmp/signature.der" >/dev/null 2>&1
openssl pkcs7 -inform DER -in "$tmp/signature.der" -print_certs -out "$tmp/certificates.pem"
awk -v dir="$tmp" '/BEGIN CERT/ {n++} n {print > (dir "/certificate-" n ".pem")}' "$tmp/certificates.pem"
signer_pin=""
for certificate in "$tmp"/certificate-*.pem; do
  if [ "$(openssl x509 -in "$certificate" -noout -serial | cut -d= -f2)" = "$serial" ]; then
    signer_pin=$("$root/cmake/publisher-pin.sh" "$certificate")
  fi
done
pinned=no
IFS=, read -ra keys <<<"$PUBLISHER_KEYS"
for key in "${keys[@]}"; do
  [ "$("$root/cmake/publisher-pin.sh" "$key")" = "$signer_pin" ] && pinned=yes
done
if [ -z "$signer_pin" ] || [ $pinned = no ]; then
  echo "publish: $setup is signed by a key that is not pinned (${signer_pin:-no signer found})" >&2
  exit 1
fi
printf '{"RES":"SUCCESS","VerName":"%s","DownloadURL":"%s","Size":"%s","FPMD5":"%s"}\n' \
    "$version" "$url" "$(stat -c %s "$setup")" "$(md5sum "$setup" | cut -d' ' -f1)"
