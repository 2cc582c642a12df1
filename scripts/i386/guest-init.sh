#!/bin/sh
# PID 1 of the i386 guest (kernel command line init=/sbin/quill-init): mounts
# the host's shared folder "payload" at /payload, runs /payload/run.sh within
# the time the host named (quill.limit=<s>), keeps its exit status in
# /payload/run.rc and powers the machine off.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
mount -o remount,rw /
say() { echo "quill-init: $* (uptime $(cut -d' ' -f1 /proc/uptime) s)"; }
say "started"
modprobe 9pnet_virtio
modprobe 9p
mkdir -p /payload
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 payload /payload || say "9p mount failed"
ip link set lo up
hostname quill-i386
limit=$(sed -n 's/.*quill\.limit=\([0-9]*\).*/\1/p' /proc/cmdline)
if [ -x /payload/run.sh ]; then
  say "running /payload/run.sh (limit ${limit:-600} s)"
  timeout -k 10 "${limit:-600}" /payload/run.sh >/payload/run.log 2>&1
  rc=$?
  echo "$rc" >/payload/run.rc
  say "run.sh ended with $rc"
else
  say "no /payload/run.sh"
fi
sync
umount /payload 2>/dev/null
mount -o remount,ro /
sync
say "power off"
echo o >/proc/sysrq-trigger
sleep 30
