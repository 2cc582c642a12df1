#!/usr/bin/env bash
# scripts/publish-setup.sh gives a reply only for the suite's setup signed by
# a pinned key, computed from that file with the file's own version; the
# stand-ins signed otherwise, or not at all, without a version resource or
# of another product, get none.
# Usage: publish-setup-test.sh <stand-in folder> <test PKI folder> <stand-ins' version>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
standins=$1 pki=$2 version=$3
status=0
err=$(mktemp)
trap 'rm -f "$err"' EXIT
publish() {
  PUBLISHER_KEYS="$pki/other-publisher.pem,$pki/publisher.pem" CA_FILE="$pki/ca.pem" \
    "$root/scripts/publish-setup.sh" "$@"
}
setup=$standins/recorder.exe
expected="{\"RES\":\"SUCCESS\",\"VerName\":\"$version\",\"DownloadURL\":\"https://downloads.test/full.exe\",\"Size\":\"$(stat -c %s "$setup")\",\"FPMD5\":\"$(md5sum "$setup" | cut -d' ' -f1)\"}"
reply=$(publish "$setup" https://downloads.test/full.exe 2>"$err")
[ "$reply" = "$expected" ] || { echo "pinned setup: got '$reply', expected '$expected'"; status=1; }
grep -q "MIN_SETUP_VERSION=$version\$" "$err" ||
  { echo "no floor to release with: $(cat "$err")"; status=1; }
for refused in recorder-unsigned.exe recorder-stray.exe recorder-bare.exe recorder-driver.exe; do
  reply=$(publish "$standins/$refused" https://downloads.test/full.exe 2>&1) &&
    { echo "$refused was published: $reply"; status=1; }
done
PUBLISHER_KEYS="$pki/publisher.pem" CA_FILE="$pki/ca.pem" "$root/scripts/publish-setup.sh" \
  "$standins/recorder-other.exe" https://x.test/a.exe >/dev/null 2>&1 &&
  { echo "a setup signed by a key that is not pinned was published"; status=1; }
publish "$setup" 'https://x.test/a.exe","FPMD5":"0' >/dev/null 2>&1 &&
  { echo "an address with a quote reached the reply"; status=1; }
[ $status -eq 0 ] && echo "only the pinned publisher's suite setup gets a reply, computed from it"
exit $status
