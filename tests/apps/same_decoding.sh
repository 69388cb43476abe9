#!/usr/bin/env bash
# Two builds' melvox-play decode the same file to the same bytes: the 64-bit
# Linux one and another build's, run by RUNNER (Wine for the Windows build,
# qemu-i386 for the i386 build).
# Usage: same_decoding.sh LINUX_MELVOX_PLAY OTHER_MELVOX_PLAY RUNNER INPUT...
set -euo pipefail
linux_play=$1 other_play=$2 runner=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for input in "$@"; do
  "$linux_play" -q -o "$work/linux.raw" "$input"
  "$runner" "$other_play" -q -o "$work/other.raw" "$input"
  linux_size=$(stat -c %s "$work/linux.raw")
  if [ "$linux_size" -eq 0 ]; then
    echo "the Linux build decoded nothing from $input" >&2
    exit 1
  fi
  cmp "$work/linux.raw" "$work/other.raw"
  echo "$(basename "$input"): the same $linux_size bytes of PCM from both builds"
done
