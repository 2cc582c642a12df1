#!/usr/bin/env bash
# Every benchmark in one run under the same Wine, printed as one Markdown
# table: the program's parts against the native tools doing the same job.
# Usage: bench/run_all.sh   (after scripts/build.sh; takes a few minutes)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --build build/test --target benchmarks -j 2 >/dev/null
bin=$root/build/test/bench
work=$root/build/bench
mkdir -p "$work"
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
source scripts/wine-env.sh
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
now() { date +%s.%N; }
rows=()
row() { rows+=("| $1 | $2 | $3 | $4 |"); }

# Download of 256 MiB from a loopback server: DownloadFile against curl.
download=$(bench/download_bench.sh 256)
echo "$download" >&2
dl_program=$(sed -n 's/^DownloadFile (Wine): .*, \([0-9]*\) MiB\/s over the transfer, CPU \([0-9.]*\) s$/\1 MiB\/s, CPU \2 s/p' <<<"$download")
dl_curl=$(sed -n 's/^curl (native): *[0-9.]* s wall, \([0-9]*\) MiB\/s, CPU \([0-9.]*\) s.*/\1 MiB\/s, CPU \2 s/p' <<<"$download")
dl_ratio=$(sed -n 's/^ratios DownloadFile\/curl: throughput \([0-9.]*\), CPU time \([0-9.]*\).*/throughput \1, CPU \2/p' <<<"$download")
row "download, 256 MiB on loopback" "DownloadFile (Wine): $dl_program" "curl: $dl_curl" "$dl_ratio"
dl_wall=$(sed -n 's/^DownloadFile (Wine): \([0-9.]*\) s wall.*/\1/p' <<<"$download")
dl_nsis=$(sed -n 's/^NSIS URLDownloadToFileW (Wine): \([0-9.]*\) s wall.*/\1/p' <<<"$download")
row "download, 256 MiB on loopback, wall time" "DownloadFile (Wine): $dl_wall s" "NSIS bootstrapper, URLDownloadToFileW (Wine): $dl_nsis s" "$(echo "$dl_wall / $dl_nsis" | bc -l | xargs printf '%.2f')"

# MD5 of 512 MiB: GetFileMd5 against md5sum, same file, warm cache.
file=$work/digest-512MiB.bin
[ -f "$file" ] || head -c $((512 * 1024 * 1024)) /dev/urandom >"$file"
cat "$file" >/dev/null
start=$(now); md5sum "$file" >/dev/null; end=$(now)
md5_native=$(echo "536.870912 / ($end - $start)" | bc -l)
md5_program=$("$WINELOADER" "$bin/digest_bench.exe" "$(winpath "$file")" 65536 | sed -n 's/.*reads: *\([0-9.]*\) MB\/s.*/\1/p')
row "MD5 of 512 MiB" "GetFileMd5 (Wine): $(printf '%.0f' "$md5_program") MB/s" "md5sum: $(printf '%.0f' "$md5_native") MB/s" "$(echo "$md5_program / $md5_native" | bc -l | xargs printf '%.2f')"

# Extraction of the carried cabinet, 50 times each.
cabinet=$root/build/test/tools/bridge/bridge.cab
rm -rf "$work/extract" "$work/extract-native"; mkdir -p "$work/extract"
ext_program=$("$WINELOADER" "$bin/extract_bench.exe" "$(winpath "$cabinet")" "$(winpath "$work/extract")\\" 50 | sed -n 's/^\([0-9.]*\) ms per extraction.*/\1/p')
start=$(now)
for _ in $(seq 1 50); do cabextract -q -d "$work/extract-native" "$cabinet"; done
end=$(now)
ext_native=$(echo "($end - $start) * 1000 / 50" | bc -l)
row "extraction of the carried cabinet ($(stat -c %s "$cabinet") bytes)" "CCabExtract (Wine): $(printf '%.1f' "$ext_program") ms" "cabextract (a process each): $(printf '%.1f' "$ext_native") ms" "$(echo "$ext_program / $ext_native" | bc -l | xargs printf '%.2f')"

# Start to window shown: the installer against a bare Win32 window program
# and an NSIS installer showing its one page (64-bit stub: this Wine runs no
# 32-bit code), built here from bench/nsis/window.nsi. Five rounds of two
# starts each, the three programs taking turns, so that a busy moment of the
# machine falls on all of them alike.
makensis -V1 -X"Target amd64-unicode" -DOUT="$work/nsis_window64.exe" bench/nsis/window.nsi >/dev/null
"$WINELOADER" reg delete 'HKLM\Software\Wow6432Node\Quillnest' /f >/dev/null 2>&1 || true
class=$(printf 'Travik\xe6\x89\x8b\xe6\x9c\xba/\xe5\xb9\xb3\xe6\x9d\xbfPC\xe5\xa5\x97\xe4\xbb\xb6')
declare -A mean_sum best
for _ in 1 2 3 4 5; do
  for who in program bare nsis; do
    case $who in
      program) args=("$(winpath "$root/build/test/app/QuillnestMini.exe")" "$class" 2) ;;
      bare) args=("$(winpath "$bin/bare_window.exe")" QuillBareWindow 2) ;;
      nsis) args=("$(winpath "$work/nsis_window64.exe")" '#32770' 2 'QuillNsisWindow shown') ;;
    esac
    read -r mean fastest < <("$WINELOADER" "$bin/window_start_bench.exe" "${args[@]}" | tr -d '\r')
    mean_sum[$who]=$(echo "${mean_sum[$who]:-0} + $mean" | bc -l)
    best[$who]=$(echo "$fastest" "${best[$who]:-$fastest}" | awk '{print ($1 < $2) ? $1 : $2}')
  done
done
win() { printf '%.1f ms (best %s)' "$(echo "${mean_sum[$1]} / 5" | bc -l)" "${best[$1]}"; }
ratio() { echo "${mean_sum[$1]} / ${mean_sum[$2]}" | bc -l | xargs printf '%.2f'; }
row "start to window shown (mean of 10, interleaved, null display driver)" "QuillnestMini: $(win program)" "bare Win32 window: $(win bare)" "$(ratio program bare)"
row "start to window shown, against NSIS (same run)" "QuillnestMini: $(win program)" "NSIS installer, one page: $(win nsis)" "$(ratio program nsis)"

# Size of the shipped executable, with and without the carried cabinet.
exe=$root/build/ship/app/QuillnestMini.exe
ship_cab=$root/build/ship/tools/bridge/bridge.cab
size=$(stat -c %s "$exe")
cab=$(stat -c %s "$ship_cab")
row "shipped executable (32-bit, stripped)" "$size bytes with the cabinet" "$((size - cab)) bytes without it (cabinet $cab bytes)" "-"
# The NSIS peers as a distributor would ship them: 32-bit stubs, LZMA.
makensis -V1 -DOUT="$work/nsis_window32.exe" bench/nsis/window.nsi >/dev/null
makensis -V1 -DOUT="$work/nsis_download32.exe" -DURL=http://packages.test/setup.exe \
  -DFILE='$TEMP\setup.exe' bench/nsis/download.nsi >/dev/null
nsis_size=$(stat -c %s "$work/nsis_download32.exe")
row "size against NSIS (32-bit)" "$size bytes (window, download, MD5, cabinet, start)" "NSIS download bootstrapper: $nsis_size bytes; window only: $(stat -c %s "$work/nsis_window32.exe") bytes" "$(echo "$size / $nsis_size" | bc -l | xargs printf '%.2f')"

echo
echo "$(date -u '+%Y-%m-%d'), $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB, $(wine64 --version 2>/dev/null || "$WINELOADER" --version)"
echo
echo "| measurement | the program | the native yardstick | ratio |"
echo "| --- | --- | --- | --- |"
printf '%s\n' "${rows[@]}"
