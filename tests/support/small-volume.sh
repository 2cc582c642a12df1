#!/usr/bin/env bash
# Usage: small-volume.sh mount <folder> <size> | unmount <folder>
# mount puts a tmpfs of <size> (1m, say) on <folder>, a disk that fills up
# for the full-disk cases; unmount takes it away and removes the folder.
# Either first undoes what an earlier run that died may have left.
set -euo pipefail
action=$1
folder=$2

if mountpoint -q "$folder" 2>/dev/null; then
  umount "$folder" || umount -l "$folder"
fi
rm -rf "$folder"
[ "$action" = unmount ] && exit 0
mkdir -p "$folder"
mount -t tmpfs -o "size=$3,mode=0777" quill-small-volume "$folder"
