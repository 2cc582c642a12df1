#!/usr/bin/env bash
# Fetches the upstream source of one of Debian's source packages into DEST,
# once: fetch-source.sh <source package> <dest> <file that proves it is there>
# The deb-src list is derived from the machine's own apt sources, so no
# archive host is written into the project.
set -euo pipefail
package=$1
dest=$2
marker=$3
if [ -f "$dest/$marker" ]; then
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sources=/etc/apt/sources.list.d/debian.sources
if [ -f "$sources" ]; then
  mkdir -p "$work/parts"
  sed 's/^Types: deb$/Types: deb-src/' "$sources" >"$work/parts/deb-src.sources"
  list_opts=(-o Dir::Etc::SourceParts="$work/parts" -o Dir::Etc::SourceList=/dev/null)
else
  # Older machines keep one-line sources in sources.list.
  sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$work/deb-src.list"
  list_opts=(-o Dir::Etc::SourceList="$work/deb-src.list" -o Dir::Etc::SourceParts=/dev/null)
fi

mkdir -p "$work/lists/partial"
apt_opts=("${list_opts[@]}" -o Dir::State::Lists="$work/lists" -o Debug::NoLocking=1)
if ! apt-get "${apt_opts[@]}" -q update >"$work/update.log" 2>&1; then
  cat "$work/update.log" >&2
  exit 1
fi
(cd "$work" && apt-get "${apt_opts[@]}" -q source --download-only "$package" >"$work/source.log" 2>&1) ||
  { cat "$work/source.log" >&2; exit 1; }

tarball=$(ls "$work"/*.orig.tar.* | head -n 1)
mkdir -p "$work/unpacked"
tar -xf "$tarball" -C "$work/unpacked"
src=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d | head -n 1)
test -f "$src/$marker"

mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$src" "$dest"
echo "$package source: $dest ($(basename "$tarball"))"
