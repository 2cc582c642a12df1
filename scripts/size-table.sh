#!/usr/bin/env bash
# Prints where the release's bytes go, from the link map that the release
# build writes (<build folder>/app/QuillnestMini.map): the program's own code
# with jsoncpp (one unit after link-time optimisation), the C++ and C
# runtimes, the resources, the carried bridge cabinet, and the rest of the
# file (headers, import tables, alignment).
# Usage: scripts/size-table.sh [release build folder]   (default: build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
map=$build/app/QuillnestMini.map
exe=$build/app/QuillnestMini.exe
[ -f "$map" ] && [ -f "$exe" ] || { echo "size: no $map; run make release first" >&2; exit 1; }
python3 - "$map" "$(stat -c %s "$exe")" <<'PYTHON'
import collections, re, sys
groups = collections.Counter()
def group(source):
    if 'bridge_cabinet' in source:
        return 'bridge cabinet (carried adb)'
    if '.rc.res' in source:
        return 'resources (pictures, texts, manifest)'
    if 'ltrans' in source or source.endswith('.obj'):
        return 'own code and jsoncpp'
    if re.search(r'lib(stdc\+\+|supc\+\+|gcc|gcc_eh)\.a', source):
        return 'C++ runtime (libstdc++, libgcc)'
    if re.search(r'lib(mingw\w*|msvcrt\w*|moldname)\.a|crt\w*\.o', source):
        return 'C runtime (MinGW, msvcrt glue)'
    if 'dll stuff' in source or re.search(r'lib\w+(_delay)?\.a', source):
        return "imports of Windows' DLLs (direct and delayed)"
    return 'other'
lines = open(sys.argv[1], errors='replace').read().split('\n')
start = next(i for i, line in enumerate(lines) if line.startswith('Linker script and memory map'))
section = None
for line in lines[start:]:
    m = re.match(r'^ (\.[\w.$]+)\s*$', line)
    if m:
        section = m.group(1)
        continue
    m = re.match(r'^ (\.[\w.$]+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$', line)
    if m:
        name = m.group(1) or section
        section = None
        if name and not name.startswith('.debug'):
            groups[group(m.group(3))] += int(m.group(2), 16)
total = int(sys.argv[2])
groups['PE headers, import tables, alignment'] = total - sum(groups.values())
print('| part | bytes |')
print('| --- | ---: |')
for name, size in groups.most_common():
    print('| %s | %s |' % (name, format(size, ',')))
print('| **the executable** | **%s** |' % format(total, ','))
PYTHON
