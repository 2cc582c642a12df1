#!/usr/bin/env bash
# Prints the folder of the i386 guest image for the current recipe, building
# it first when this machine has none: a Debian 12 i386 root (wine32, Xvfb,
# CJK font) with a ready Wine prefix, its kernel and a small initramfs.
#
# Images are kept machine-wide, outside any clone, under
#   ${QUILL_I386_CACHE:-/var/cache/quillnest/i386-guest}/<recipe digest>/
# where the digest covers the recipe (the package list, the initramfs
# modules, the init script, the Wine prefix preparation and the root file
# system's options below), so a changed recipe builds a new image and an
# unchanged one is reused. Building takes a lock (two runs at once build
# once) and happens in a temporary folder renamed into place.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${QUILL_I386_CACHE:-/var/cache/quillnest/i386-guest}
root_options=(--arch=i386 --variant=minbase --aptopt='APT::Install-Recommends "false"'
  --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*'
  --dpkgopt='path-exclude=/usr/share/locale/*')
digest=$( (cd "$here" && cat packages initramfs-hook.sh guest-init.sh guest-prepare.sh
  printf '%s\n' "${root_options[@]}") | sha256sum | cut -c1-16)
image=$cache/$digest
log() { echo "i386 guest image: $*" >&2; }

if [ -f "$image/ready" ]; then
  echo "$image"
  exit 0
fi
mkdir -p "$cache"
exec 9>"$cache/.lock"
if ! flock -w 1800 9; then
  log "another run has held $cache/.lock for 30 minutes"
  exit 1
fi
if [ -f "$image/ready" ]; then
  echo "$image"
  exit 0
fi

log "building $image (recipe digest $digest)"
work=$(mktemp -d "$cache/.build-$digest.XXXXXX")
trap 'rm -rf "$work"' EXIT
root=$work/rootfs
out=$work/image
mkdir -p "$out"
t0=$(date +%s)

# The guest's package scripts are i386 programs: the host kernel runs them
# through qemu-i386-static, registered with binfmt_misc (F: the interpreter is
# opened now, so it works inside the chroot).
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$binfmt/qemu-i386" ]; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    >"$binfmt/register"
fi

# The mirror is the host's own, read from its apt sources (none is written here).
mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list)
packages=$(grep -v '^#' "$here/packages" | xargs | tr ' ' ,)
timeout 2400 mmdebstrap "${root_options[@]}" --include="$packages" \
  --essential-hook="$here/initramfs-hook.sh \"\$1\"" \
  bookworm "$root" "deb $mirror bookworm main" >"$work/mmdebstrap.log" 2>&1 ||
  { tail -n 40 "$work/mmdebstrap.log" >&2; log "mmdebstrap failed"; exit 1; }
t1=$(date +%s)

install -m 755 "$here/guest-init.sh" "$root/sbin/quill-init"
echo "/dev/vda / ext4 rw 0 1" >"$root/etc/fstab"
rm -rf "$root"/var/cache/apt/archives/*.deb "$root"/var/lib/apt/lists/*
cp -L "$root/vmlinuz" "$out/vmlinuz"
cp -L "$root/initrd.img" "$out/initrd.img"
size=$(du -sm "$root" | cut -f1)
# Room for the Wine prefix and the runs' files (the image is sparse).
mke2fs -q -t ext4 -L quill-i386 -d "$root" "$out/root.img" "$((size + size / 2 + 1024))M" >&2
rm -rf "$root"
t2=$(date +%s)

# First boot, writable: the Wine prefix is made once, inside the image.
mkdir -p "$work/payload"
install -m 755 "$here/guest-prepare.sh" "$work/payload/run.sh"
"$here/boot.sh" "$out" "$work/payload" "$work/serial-prepare.log" 600 writable || true
if [ "$(cat "$work/payload/run.rc" 2>/dev/null)" != 0 ]; then
  cat "$work/serial-prepare.log" "$work/payload/run.log" >&2 2>/dev/null || true
  log "making the Wine prefix in the guest failed"
  exit 1
fi
t3=$(date +%s)

{
  echo "recipe digest: $digest"
  echo "built: $(date -u +%FT%TZ)"
  echo "root file system (mmdebstrap): $((t1 - t0)) s, ${size} MiB"
  echo "disk image: $((t2 - t1)) s"
  echo "first boot and Wine prefix: $((t3 - t2)) s ($(grep 'wine prefix made' "$work/payload/run.log"))"
  echo "total: $((t3 - t0)) s"
} >"$out/figures"
touch "$out/ready"
mv "$out" "$image"
log "built in $((t3 - t0)) s"
sed 's/^/  /' "$image/figures" >&2
echo "$image"
