#!/usr/bin/env bash
# Signs a Windows program (Authenticode, SHA-256) with a certificate chain and
# its key: the test build's stand-in setups and driver, as their publisher
# would. Signing in place is allowed (input = output).
# Usage: sign-program.sh input output certificate-chain.pem key.pem
set -euo pipefail
tmp=$2.signing
rm -f "$tmp"
osslsigncode sign -certs "$3" -key "$4" -h sha256 -n "Quillnest test program" \
    -in "$1" -out "$tmp" >/dev/null
mv -f "$tmp" "$2"
