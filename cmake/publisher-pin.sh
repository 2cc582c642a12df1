#!/usr/bin/env bash
# Prints a publisher certificate's pin: the SHA-256 of its SubjectPublicKeyInfo
# (DER), in hexadecimal. The certificate may be PEM or DER.
# Usage: publisher-pin.sh certificate
set -euo pipefail
for form in PEM DER; do
  if key=$(openssl x509 -inform "$form" -in "$1" -noout -pubkey 2>/dev/null); then
    openssl pkey -pubin -outform DER <<<"$key" | openssl dgst -sha256 -r | cut -d' ' -f1
    exit 0
  fi
done
echo "not a certificate: $1" >&2
exit 1
