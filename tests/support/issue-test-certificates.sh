#!/usr/bin/env bash
# Issues the TLS tests' certificates into <folder> at every test run and
# trusts their CA in the project's Wine prefix only (never this machine's
# store), through <trust helper>, which drops an earlier run's CA:
#   ca            the test CA, trusted in the prefix
#   localhost     from it, for localhost (Wine matches names, not addresses)
#   otherhost     from it, for another name
#   untrusted     for localhost, from a CA nobody trusts
# Usage: issue-test-certificates.sh <folder> <trust helper .exe>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$1"
mkdir -p "$1"
cd "$1"
ca() {  # name, subject
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$1.key" -out "$1.pem" -subj "/CN=$2" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
}
server() {  # name, issuing CA, host name
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$3" 2>/dev/null
  printf 'subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\n' "$3" > "$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days 2 \
      -extfile "$1.ext" -out "$1.pem" 2>/dev/null
}
ca ca "Quillnest Test CA"
ca stranger "Quillnest Stranger CA"
server localhost ca localhost
server otherhost ca otherhost.invalid
server untrusted stranger localhost
openssl x509 -in ca.pem -outform DER -out ca.der
"$root/scripts/wine-run" "$2" "Z:$(pwd)/ca.der" </dev/null
