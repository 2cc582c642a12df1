#!/bin/sh
# mmdebstrap essential hook ($1 = the guest's root): a small initramfs with
# only what booting from a virtio disk with ext4 needs. Debian's default
# (MODULES=most) copies about a thousand modules one by one, which takes
# about 30 minutes under user-mode emulation; this one takes seconds.
set -e
mkdir -p "$1/etc/initramfs-tools/conf.d" "$1/etc/initramfs-tools/hooks"
echo MODULES=list >"$1/etc/initramfs-tools/conf.d/quill-guest"
cat >"$1/etc/initramfs-tools/hooks/quill-guest" <<'HOOK'
#!/bin/sh
[ "$1" = prereqs ] && exit 0
. /usr/share/initramfs-tools/hook-functions
manual_add_modules virtio_pci virtio_blk ext4
printf 'virtio_pci\nvirtio_blk\next4\n' >>"${DESTDIR}/conf/modules"
HOOK
chmod 755 "$1/etc/initramfs-tools/hooks/quill-guest"
