#!/usr/bin/env bash
# Configures and builds everything: the Windows binaries (cross-compiled) and
# the native fuzz targets, from the presets "release" (CMakePresets.json) and
# "native" (native/CMakePresets.json), in BUILD_DIR and BUILD_DIR/native.
# Usage: scripts/build.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
"$root/scripts/setup.sh"

cmake -S "$root" -B "$build" --preset release >/dev/null
cmake --build "$build" -j"$(nproc)"

cmake -S "$root/native" -B "$build/native" --preset native >/dev/null
cmake --build "$build/native" -j"$(nproc)"
