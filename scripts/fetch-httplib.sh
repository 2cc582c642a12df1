#!/usr/bin/env bash
# Fetches cpp-httplib's source from Debian's source package into DEST (default
# build/deps/cpp-httplib) once. The package's own header is split for a Linux
# library; the upstream single header inside the source builds with mingw.
# The deb-src list is derived from the machine's own
# apt sources, so no archive host is written into the project.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:-$root/build/deps/cpp-httplib}
if [ -f "$dest/httplib.h" ]; then
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sources=/etc/apt/sources.list.d/debian.sources
if [ -f "$sources" ]; then
  sed 's/^Types: deb$/Types: deb-src/' "$sources" > "$work/deb-src.sources"
  list_opts=(-o Dir::Etc::SourceParts="$work/parts" -o Dir::Etc::SourceList=/dev/null)
  mkdir -p "$work/parts"
  mv "$work/deb-src.sources" "$work/parts/"
else
  # Older machines keep one-line sources in sources.list.
  sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > "$work/deb-src.list"
  list_opts=(-o Dir::Etc::SourceList="$work/deb-src.list" -o Dir::Etc::SourceParts=/dev/null)
fi

mkdir -p "$work/lists/partial"
apt_opts=("${list_opts[@]}" -o Dir::State::Lists="$work/lists" -o Debug::NoLocking=1)
if ! apt-get "${apt_opts[@]}" -q update >"$work/update.log" 2>&1; then
  cat "$work/update.log" >&2
  exit 1
fi
(cd "$work" && apt-get "${apt_opts[@]}" -q source --download-only cpp-httplib >/dev/null 2>&1)

tarball=$(ls "$work"/cpp-httplib_*.orig.tar.* | head -n 1)
mkdir -p "$work/unpacked"
tar -xf "$tarball" -C "$work/unpacked"
src=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d | head -n 1)
test -f "$src/httplib.h"

mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$src" "$dest"
echo "cpp-httplib source: $dest ($(basename "$tarball"))"
