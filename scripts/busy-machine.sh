#!/usr/bin/env bash
# Runs a command while the machine is kept busy, to show that the tests wait
# for conditions and not for a quiet host: two busy loops per core (like two
# `stress-ng --cpu <cores>`), ended when the command ends. Exits with the
# command's status.
# Usage: scripts/busy-machine.sh <command> [arguments...]
#   e.g. scripts/busy-machine.sh scripts/test.sh
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: $0 <command> [arguments...]" >&2; exit 2; }
loops=()
for _ in $(seq 1 $((2 * $(nproc)))); do
  (while :; do :; done) &
  loops+=($!)
done
trap 'kill "${loops[@]}" 2>/dev/null; wait "${loops[@]}" 2>/dev/null' EXIT
echo "busy-machine: ${#loops[@]} busy loops on $(nproc) cores while: $*" >&2
"$@"
