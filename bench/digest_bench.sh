#!/usr/bin/env bash
# MD5 of one 512 MiB file: GetFileMd5 under Wine at several read sizes, and
# md5sum natively, in one run. Needs scripts/build.sh first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
file=$root/build/bench/digest-512MiB.bin
mkdir -p "$(dirname "$file")"
[ -f "$file" ] || head -c $((512 * 1024 * 1024)) /dev/urandom > "$file"
cat "$file" > /dev/null  # same page-cache state for every reader

echo "md5sum (native):"
/usr/bin/time -f "  %e s wall, %U+%S s CPU" md5sum "$file"
bytes=$(stat -c %s "$file")
start=$(date +%s.%N); md5sum "$file" > /dev/null; end=$(date +%s.%N)
echo "  $(echo "$bytes / ($end - $start) / 1000000" | bc -l | xargs printf '%.1f') MB/s"

echo "GetFileMd5 (Wine):"
for size in 2048 65536 1048576; do
  "$root/scripts/wine-run" "$root/build/test/bench/digest_bench.exe" "Z:${file//\//\\}" "$size"
done
