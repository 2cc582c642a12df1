#!/bin/sh
# MSZIP cabinets for the extractor's tests, made with gcab like the carried
# one, and the files they were made from (the tests compare against those).
#   nested.cab   top.txt and aa\sub\deeper.bin (about 190 KB, several blocks)
#   hostile.cab  kept.txt and four files whose stored names the tests patch
#                (same length) into hostile ones: dd\ -> ..\, c_\ -> c:\,
#                _r\ -> \r\ and ss_ -> ss:
# Usage: make-test-cabinets.sh <output folder>
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out/inputs/aa/sub" "$out/hostile/dd" "$out/hostile/c_" "$out/hostile/_r"
export TZ=UTC
printf 'top of the cabinet\r\n' >"$out/inputs/top.txt"
seq 1 36000 >"$out/inputs/aa/sub/deeper.bin"
printf 'kept\n' >"$out/hostile/kept.txt"
printf 'climbed out\n' >"$out/hostile/dd/climb.txt"
printf 'drive\n' >"$out/hostile/c_/drive.txt"
printf 'rooted\n' >"$out/hostile/_r/rooted.txt"
printf 'stream\n' >"$out/hostile/ss_stream.txt"
find "$out/inputs" "$out/hostile" -type f -exec touch -d '2015-04-29 10:46:52' {} +
(cd "$out/inputs" && gcab -c -z ../nested.cab top.txt aa/sub/deeper.bin)
(cd "$out/hostile" && gcab -c -z ../hostile.cab dd/climb.txt c_/drive.txt kept.txt _r/rooted.txt ss_stream.txt)
