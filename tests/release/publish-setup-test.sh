#!/usr/bin/env bash
# scripts/publish-setup.sh gives a reply only for a setup signed by a pinned
# key, and computes it from that file; the stand-ins signed otherwise, or not
# at all, get none.
# Usage: publish-setup-test.sh <stand-in folder> <test PKI folder>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
standins=$1 pki=$2
status=0
publish() {
  PUBLISHER_KEYS="$pki/other-publisher.pem,$pki/publisher.pem" CA_FILE="$pki/ca.pem" \
    "$root/scripts/publish-setup.sh" "$@" 2>&1
}
setup=$standins/recorder.exe
expected="{\"RES\":\"SUCCESS\",\"VerName\":\"3.2.0.150\",\"DownloadURL\":\"https://downloads.test/full.exe\",\"Size\":\"$(stat -c %s "$setup")\",\"FPMD5\":\"$(md5sum "$setup" | cut -d' ' -f1)\"}"
reply=$(publish "$setup" 3.2.0.150 https://downloads.test/full.exe)
[ "$reply" = "$expected" ] || { echo "pinned setup: got '$reply', expected '$expected'"; status=1; }
for refused in recorder-unsigned.exe recorder-stray.exe; do
  reply=$(publish "$standins/$refused" 3.2.0.150 https://downloads.test/full.exe) &&
    { echo "$refused was published: $reply"; status=1; }
done
PUBLISHER_KEYS="$pki/publisher.pem" CA_FILE="$pki/ca.pem" "$root/scripts/publish-setup.sh" \
  "$standins/recorder-other.exe" 1.0 https://x.test/a.exe >/dev/null 2>&1 &&
  { echo "a setup signed by a key that is not pinned was published"; status=1; }
publish "$setup" '1.0","FPMD5":"0' https://x.test/a.exe >/dev/null 2>&1 &&
  { echo "a version with a quote reached the reply"; status=1; }
[ $status -eq 0 ] && echo "only the pinned publisher's setup gets a reply, computed from it"
exit $status
