#!/usr/bin/env bash
# The Linux and the Windows melvox-play decode the same file to the same
# bytes. Usage: same_decoding.sh LINUX_MELVOX_PLAY WINDOWS_MELVOX_PLAY_EXE WINE INPUT...
set -euo pipefail
linux_play=$1 windows_play=$2 wine=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for input in "$@"; do
  "$linux_play" -q -o "$work/linux.raw" "$input"
  "$wine" "$windows_play" -q -o "$work/windows.raw" "$input"
  linux_size=$(stat -c %s "$work/linux.raw")
  if [ "$linux_size" -eq 0 ]; then
    echo "the Linux build decoded nothing from $input" >&2
    exit 1
  fi
  cmp "$work/linux.raw" "$work/windows.raw"
  echo "$(basename "$input"): the same $linux_size bytes of PCM from both builds"
done
