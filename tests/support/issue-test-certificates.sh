#!/usr/bin/env bash
# The tests' certificates, issued with openssl into <folder>, and the trust of
# their CA in the project's Wine prefix only (never this machine's store):
#   ca               the test CA, trusted in the prefix
#   stranger         a CA nobody trusts
#   publisher        from ca, for code signing: the key test and demo builds
#                    pin and sign their stand-in setups and driver with
#   other-publisher  from ca, for code signing, not pinned
#   stray-publisher  the pinned publisher's key, certified by stranger
#   ec-publisher     from ca, for code signing, an EC (P-256) key
#   localhost        from ca, for localhost (Wine matches names, not addresses)
#   otherhost        from ca, for another name
#   untrusted        for localhost, from stranger
# and, in key-encodings/, certificates that encode the publisher's key in forms
# a careless DER reader gets wrong (tests/support/craft-key-encodings.py).
# The builds embed the publisher's pin, so everything is made once per build
# tree, when <folder> holds no CA yet (scripts/build.sh does that before it
# configures); the EC publisher and the key encodings whenever they are
# missing. Given <trust helper .exe> (every test run), the CA is trusted in the
# prefix the helper runs in, replacing an earlier one of its name.
# Usage: issue-test-certificates.sh <folder> [<trust helper .exe>]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$1"
cd "$1"
days=3650
ca() {  # name, subject
  openssl req -x509 -newkey rsa:2048 -nodes -days $days -keyout "$1.key" -out "$1.pem" -subj "/CN=$2" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
}
issue() {  # name, issuing CA, subject, extensions, [key to certify]
  [ -f "$1.key" ] || cp "${5:-/dev/null}" "$1.key"
  if [ -s "$1.key" ]; then
    openssl req -new -key "$1.key" -out "$1.csr" -subj "/CN=$3" 2>/dev/null
  else
    openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$3" 2>/dev/null
  fi
  printf '%b\n' "$4" > "$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days $days \
      -extfile "$1.ext" -out "$1.pem" 2>/dev/null
  cat "$1.pem" "$2.pem" > "$1-chain.pem"  # what a signature carries
}
signing='keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning'
if [ ! -f ca.pem ]; then
  rm -rf ./*.pem ./*.key ./*.csr ./*.ext ./*.srl ./*.der key-encodings
  ca ca "Quillnest Test CA"
  ca stranger "Quillnest Stranger CA"
  issue publisher ca "Quillnest Test Publisher" "$signing"
  issue other-publisher ca "Quillnest Other Publisher" "$signing"
  issue stray-publisher stranger "Quillnest Test Publisher" "$signing" publisher.key
  issue localhost ca localhost 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth'
  issue otherhost ca otherhost.invalid 'subjectAltName=DNS:otherhost.invalid\nextendedKeyUsage=serverAuth'
  issue untrusted stranger localhost 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth'
  openssl x509 -in ca.pem -outform DER -out ca.der
fi
if [ ! -f ec-publisher.pem ]; then
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out ec-publisher.key 2>/dev/null
  issue ec-publisher ca "Quillnest EC Publisher" "$signing"
fi
[ -f key-encodings/key-length-non-minimal.pin ] || "$root/tests/support/craft-key-encodings.py" .
if [ $# -ge 2 ]; then
  "$root/scripts/wine-run" "$2" "Z:$(pwd)/ca.der" </dev/null
fi
