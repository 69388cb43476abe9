#!/usr/bin/env bash
# Regenerates the demo's music: make-music (built into build/ or $BUILD_DIR)
# renders the piece to a temporary WAVE file, lame encodes it to
# demo/music/vexa.mp3 (160 kbit/s constant bit rate), and the exact length
# is written to demo/music/vexa.txt as "duration_ms=N" for the timeline.
# The render is deterministic; the same lame version gives the same MP3.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v lame >/dev/null; then
  echo "make-music: lame is missing; scripts/setup installs it" >&2
  exit 1
fi
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target make-music -j"$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build_dir/tools/synth/make-music" "$work/vexa.wav" >"$work/vexa.txt"
lame --quiet --noreplaygain -b 160 -q 2 \
  --tt "Vexa" --ta "OrB" --ty 2001 --tc "nordmeet 2001" --id3v1-only \
  "$work/vexa.wav" "$work/vexa.mp3"

mkdir -p demo/music
mv "$work/vexa.mp3" demo/music/vexa.mp3
mv "$work/vexa.txt" demo/music/vexa.txt
echo "make-music: wrote demo/music/vexa.mp3 ($(stat -c %s demo/music/vexa.mp3) bytes), $(cat demo/music/vexa.txt)"
