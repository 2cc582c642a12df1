#!/usr/bin/env bash
# Boots the i386 guest under full-system emulation (TCG: these hosts' kernels
# run no 32-bit code, and no KVM is needed) with a host folder shared as
# "payload"; the guest runs its run.sh and powers off.
# Usage: boot.sh <image folder> <payload folder> <serial log> <limit s> [writable]
# Without "writable" the root image is used through a throw-away snapshot.
# QEMU itself is bounded: it never outlives the limit by more than a minute.
set -uo pipefail
image=$1 payload=$2 serial=$3 limit=$4 mode=${5:-snapshot}
snapshot=-snapshot
[ "$mode" = writable ] && snapshot=
# -cpu max,-smap: QEMU 7.2's TCG emulates a user-mode iret (which Wine uses)
# with supervisor stack accesses, which fault when the guest kernel uses SMAP.
# -net none: the guest has no network at all; its services are its own.
timeout -k 20 $((limit + 60)) qemu-system-i386 -machine pc -accel tcg,thread=multi \
  -cpu max,-smap -smp 2 -m 2048 -display none -monitor none -serial "file:$serial" \
  -no-reboot -net none $snapshot \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 init=/sbin/quill-init quill.limit=$limit" \
  -drive "file=$image/root.img,format=raw,if=virtio,cache=unsafe" \
  -virtfs "local,path=$payload,mount_tag=payload,security_model=none,id=payload" \
  </dev/null
