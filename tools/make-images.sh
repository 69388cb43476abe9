#!/usr/bin/env bash
# Regenerates the demo's images in demo/images/ with make-images, built into
# build/ (or $BUILD_DIR). The output is deterministic: unchanged art gives
# byte-identical files.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target make-images -j"$(nproc)"
"$build_dir/tools/make-images" demo/images
echo "make-images: wrote $(ls demo/images/*.png | wc -l) images to demo/images/"
