#!/usr/bin/env bash
# Configures and builds everything: the native tree first (the shader
# compiler, its tests and the fuzz targets), then the Windows binaries
# (cross-compiled), whose shipped library and package are made with that
# compiler; from the presets "native" (native/CMakePresets.json) and "release"
# (CMakePresets.json), in BUILD_DIR/native and BUILD_DIR.
# Usage: scripts/build.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
"$root/scripts/setup.sh"

cmake -S "$root/native" -B "$build/native" --preset native >/dev/null
cmake --build "$build/native" -j"$(nproc)"

cmake -S "$root" -B "$build" --preset release -DQUORVEL_FXC="$build/native/quorvel-fxc" >/dev/null
cmake --build "$build" -j"$(nproc)"
