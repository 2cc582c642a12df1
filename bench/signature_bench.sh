#!/usr/bin/env bash
# The start gate on one signed file of <MiB> (default 100): the MD5 that the
# download route checks, then the signature check (WinVerifyTrust, the pin,
# the chain policy), under Wine, beside md5sum and sha256sum, in one run. Needs scripts/build.sh first;
# trusts the tests' CA in the project's prefix as the tests do.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-100}
work=$root/build/bench
file=$work/signed-${mib}MiB.exe
pki=$root/build/test-pki
mkdir -p "$work"
if [ ! -f "$file" ]; then
  cp "$root/build/test/stand_ins/recorder-unsigned.exe" "$file.unsigned"
  head -c $((mib * 1024 * 1024)) /dev/urandom >>"$file.unsigned"
  "$root/cmake/sign-program.sh" "$file.unsigned" "$file" "$pki/publisher-chain.pem" "$pki/publisher.key"
  rm -f "$file.unsigned"
fi
"$root/scripts/wine-run" "$root/build/test/tests/trust_test_ca.exe" "Z:$pki/ca.der" </dev/null
cat "$file" >/dev/null  # both readers find it in the page cache
echo "start gate on $(stat -c %s "$file") bytes:"
# The signature check hashes the whole file with SHA-256: native floors.
for tool in md5sum sha256sum; do
  start=$(date +%s.%N); $tool "$file" >/dev/null; end=$(date +%s.%N)
  echo "  $tool (native): $(echo "$end - $start" | bc -l | xargs printf '%.3f') s"
done
"$root/scripts/wine-run" "$root/build/test/bench/signature_bench.exe" "Z:${file//\//\\}" 5
