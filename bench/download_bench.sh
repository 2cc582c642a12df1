#!/usr/bin/env bash
# DownloadFile under Wine against curl on Linux and against an NSIS
# bootstrapper's download (URLDownloadToFileW, built here from
# bench/nsis/download.nsi, under the same Wine): one 256 MiB file served on
# loopback by the test server (under Wine), fetched by each in the same run.
# Prints wall time, throughput and CPU time, and the ratios.
# Needs a finished scripts/build.sh. Usage: bench/download_bench.sh [MiB]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mib=${1:-256}
size=$((mib * 1048576))
port=18099

cmake --build build/test --target download_bench -j 2 >/dev/null
exe=$root/build/test/bench/download_bench.exe
work=$root/build/bench
mkdir -p "$work"
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

source scripts/wine-env.sh
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true

head -c "$size" /dev/urandom >"$work/payload.bin"
# exec, so that $! is the server itself and not a subshell around it.
(exec "$WINELOADER" "$exe" serve "$port" "$(winpath "$work/payload.bin")" >"$work/server.log" 2>&1) &
server=$!
cleanup() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  rm -f "$work/payload.bin" "$work/wine_out.bin" "$work/curl_out.bin" "$work/nsis_out.bin"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.1
done

url=http://127.0.0.1:$port/payload.bin
read -r w_wall w_cpu w_wait w_bytes w_error < <(quill_wine "$exe" fetch "$url" "$(winpath "$work/wine_out.bin")" "$size")
read -r c_wall c_user c_sys < <( { /usr/bin/time -f '%e %U %S' curl -s -o "$work/curl_out.bin" "$url"; } 2>&1 )
# 64-bit stub: this Wine runs no 32-bit code.
makensis -V1 -X"Target amd64-unicode" -DOUT="$work/nsis_download.exe" -DURL="$url" \
  -DFILE="$(winpath "$work/nsis_out.bin")" bench/nsis/download.nsi >/dev/null
start=$(date +%s.%N)
quill_wine "$work/nsis_download.exe" || echo "the NSIS download ended with status $?" >&2
n_wall=$(echo "$(date +%s.%N) - $start" | bc -l)

[ "${w_error%$'\r'}" = 0 ] || echo "DownloadFile failed at step $w_error" >&2
cmp -s "$work/payload.bin" "$work/wine_out.bin" || echo "DownloadFile's copy differs from the served file" >&2
cmp -s "$work/payload.bin" "$work/curl_out.bin" || echo "curl's copy differs from the served file" >&2
cmp -s "$work/payload.bin" "$work/nsis_out.bin" || echo "NSIS's copy differs from the served file" >&2

awk -v mib="$mib" -v ww="$w_wall" -v wc="$w_cpu" -v wt="$w_wait" -v wb="$w_bytes" \
    -v cw="$c_wall" -v cu="$c_user" -v cs="$c_sys" -v nw="$n_wall" 'BEGIN {
  wx = ww - wt; cc = cu + cs;
  printf "file: %d MiB on loopback, DownloadFile received %d bytes\n", mib, wb;
  printf "DownloadFile (Wine): %.2f s wall (%.2f s transfer + %.2f s end-of-body waits), %.0f MiB/s over the transfer, CPU %.2f s\n", ww, wx, wt, mib / wx, wc;
  printf "curl (native):       %.2f s wall, %.0f MiB/s, CPU %.2f s (user %.2f, sys %.2f)\n", cw, mib / cw, cc, cu, cs;
  printf "NSIS URLDownloadToFileW (Wine): %.2f s wall (process start to end), %.0f MiB/s\n", nw, mib / nw;
  printf "ratios DownloadFile/curl: throughput %.2f, CPU time %.2f, wall time %.2f\n", (mib / wx) / (mib / cw), wc / cc, ww / cw;
  printf "ratios DownloadFile/NSIS: wall time %.2f\n", ww / nw;
}'
