#!/usr/bin/env bash
# Issues the TLS tests' certificates into <folder> and trusts their CA inside
# the project's Wine prefix only (its current user's Root store, through
# <trust helper>), never in this machine's store. Run at every test run, so
# the keys live no longer than the build folder; the helper removes the
# CA of an earlier run from the prefix before it adds the new one.
#   ca.pem            the test CA, trusted in the prefix
#   localhost.pem     from that CA for the name localhost (Wine's WinINet
#                     matches names, not IP addresses)
#   otherhost.pem     from that CA for another name
#   untrusted.pem     for localhost, from a CA the prefix does not trust
# Usage: issue-test-certificates.sh <folder> <trust helper .exe>
set -euo pipefail
out=$1
helper=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$out"
mkdir -p "$out"
cd "$out"

ca() {  # name, subject
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$1.key" -out "$1.pem" \
      -subj "/CN=$2" -addext "basicConstraints=critical,CA:TRUE" \
      -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
server() {  # name, issuing CA, host name
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$3" 2>/dev/null
  printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' \
      "$3" > "$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days 2 \
      -extfile "$1.ext" -out "$1.pem" 2>/dev/null
}

ca ca "Quillnest Test CA"
ca stranger "Quillnest Stranger CA"
server localhost ca localhost
server otherhost ca otherhost.invalid
server untrusted stranger localhost
openssl x509 -in ca.pem -outform DER -out ca.der

"$root/scripts/wine-run" "$helper" "Z:$(pwd)/ca.der" </dev/null
echo "test CA issued in $out and trusted in the Wine prefix"
