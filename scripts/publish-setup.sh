#!/usr/bin/env bash
# Prints the package service's reply for a new full setup, computed from the
# signed file itself, after checking that the file's signature verifies, that
# its signer's key is one the release pins, and that its version resource
# names the suite: VerName is the file's own version, which the program
# requires the file it starts to carry. A reply can then never carry the
# size and digest of an unsigned or re-signed file, nor offer a file as
# another version. On standard error it names the MIN_SETUP_VERSION to
# build the release with, so that no reply can bring an older setup back.
# Usage: PUBLISHER_KEYS=a.cer[,b.cer] [CA_FILE=roots.pem] [SUITE_PRODUCT_NAME=name] \
#          scripts/publish-setup.sh SETUP DOWNLOAD_URL
#   PUBLISHER_KEYS      the certificates the release was built with (make release PUBLISHER_KEYS=...)
#   CA_FILE             the roots the signature's chain must end in (default: the machine's)
#   SUITE_PRODUCT_NAME  the ProductName the setup must carry (default: settings/CMakeLists.txt's)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 2 ] || { sed -n '2,14p' "$0" >&2; exit 2; }
setup=$1 url=$2
[ -n "${PUBLISHER_KEYS:-}" ] || { echo "publish: PUBLISHER_KEYS names no certificate" >&2; exit 2; }
product=${SUITE_PRODUCT_NAME:-$(sed -n 's/^set(QUILL_SUITE_PRODUCT_NAME "\(.*\)" CACHE.*/\1/p' \
                                  "$root/settings/CMakeLists.txt")}
# The texts go into JSON as they are: nothing that would need escaping.
[[ $url =~ ^[[:graph:]]+$ && $url != *'"'* && $url != *'\'* ]] ||
  { echo "publish: '$url' has a quote, backslash, space or control character" >&2; exit 1; }

# The file's version resource as the program reads it: the fixed file
# version, and the ProductName of its first string table (Debian's
# python3-pefile, for the system Python).
identity=$(/usr/bin/python3 - "$setup" <<'PYTHON'
import sys, pefile
try:
    pe = pefile.PE(sys.argv[1], fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']])
except (OSError, pefile.PEFormatError) as error:
    sys.exit('not a program: %s' % error)
fixed = getattr(pe, 'VS_FIXEDFILEINFO', None)
if not fixed:
    sys.exit('no version resource')
ms, ls = fixed[0].FileVersionMS, fixed[0].FileVersionLS
names = [table.entries.get(b'ProductName') for info in getattr(pe, 'FileInfo', [])
         for entry in info for table in getattr(entry, 'StringTable', [])]
names = [name for name in names if name is not None]
print('%d.%d.%d.%d' % (ms >> 16, ms & 0xffff, ls >> 16, ls & 0xffff))
print(names[0].decode('utf-8', 'replace') if names else '')
PYTHON
) || { echo "publish: $setup: ${identity:-its version resource cannot be read}" >&2; exit 1; }
version=$(sed -n 1p <<<"$identity")
found=$(sed -n 2p <<<"$identity")
[ "$found" = "$product" ] ||
  { echo "publish: $setup is product \"$found\", not \"$product\"" >&2; exit 1; }

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
echo "publish: $product $version; build the release that offers it with MIN_SETUP_VERSION=$version" >&2
