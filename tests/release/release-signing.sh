#!/usr/bin/env bash
# make release's publisher pins, setup floor and signing, on the shipped
# configuration (<release build folder>, rebuilt only if it changed, so with
# its floor 1.0.0.0): without publisher keys, or with them but without
# MIN_SETUP_VERSION, the release command refuses to build; with both and a key it signs the
# executable (SHA-256), osslsigncode verify accepts it, and the summary names
# the signer and the pin. The same key as a PKCS#12 file (password from the
# environment) at the same SIGN_TIME gives the same bytes.
# Usage: release-signing.sh <release build folder> <test PKI folder> <scratch folder>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1 pki=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
status=0
fail() { echo "$*"; status=1; }
release() {  # release <dist> [VAR=value...]
  local dist=$1
  shift
  env QUILL_RELEASE_BUILD="$build" QUILL_RELEASE_DIST="$dist" SERVICE_URL=http://packages.test \
    PUBLISHER_KEYS= MIN_SETUP_VERSION=1.0.0.0 UNSIGNED_SETUP= SIGN_PKCS12= SIGN_CERT= SIGN_KEY= \
    SIGN_TIME=1767225600 "$@" \
    "$root/scripts/release.sh" 2>&1
}

output=$(release "$scratch/unpinned")
[ $? -ne 0 ] && grep -q "PUBLISHER_KEYS" <<<"$output" || fail "built without publisher keys: $output"
[ -e "$scratch/unpinned/QuillnestMini.exe" ] && fail "and left an executable"
output=$(release "$scratch/floorless" PUBLISHER_KEYS="$pki/publisher.pem" MIN_SETUP_VERSION=)
[ $? -ne 0 ] && grep -q "MIN_SETUP_VERSION" <<<"$output" || fail "built without a setup floor: $output"
[ -e "$scratch/floorless/QuillnestMini.exe" ] && fail "and left an executable"

output=$(release "$scratch/pem" PUBLISHER_KEYS="$pki/publisher.pem" \
           SIGN_CERT="$pki/publisher-chain.pem" SIGN_KEY="$pki/publisher.key") ||
  fail "the signed release failed: $output"
exe=$scratch/pem/QuillnestMini.exe
osslsigncode verify -in "$exe" -CAfile "$pki/ca.pem" >"$scratch/verify.log" 2>&1 ||
  fail "osslsigncode verify refused $exe: $(tail -n 3 "$scratch/verify.log")"
grep -q "Message digest algorithm  : SHA256" "$scratch/verify.log" || fail "not a SHA-256 signature"
grep -q "signed by: *CN *= *Quillnest Test Publisher\|signed by: */CN=Quillnest Test Publisher" <<<"$output" ||
  fail "the summary does not name the signer: $output"
grep -q "publisher pin: *$("$root/cmake/publisher-pin.sh" "$pki/publisher.pem")" <<<"$output" ||
  fail "the summary does not name the pin: $output"
grep -q "SHA-256 $(sha256sum "$exe" | cut -d' ' -f1)" <<<"$output" ||
  fail "the summary's digest is not the signed file's"

openssl pkcs12 -export -in "$pki/publisher.pem" -inkey "$pki/publisher.key" -certfile "$pki/ca.pem" \
  -passout pass:test-password -out "$scratch/publisher.p12"
output=$(release "$scratch/p12" PUBLISHER_KEYS="$pki/publisher.pem" \
           SIGN_PKCS12="$scratch/publisher.p12" SIGN_PASSWORD=test-password) ||
  fail "the PKCS#12-signed release failed: $output"
cmp -s "$exe" "$scratch/p12/QuillnestMini.exe" || fail "the PKCS#12 signature differs from the PEM one"

[ $status -eq 0 ] && echo "unpinned and floorless releases refused; signed release verified, named and reproducible"
rm -rf "$scratch"
exit $status
