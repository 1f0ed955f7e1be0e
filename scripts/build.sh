#!/usr/bin/env bash
# Configures and builds everything: the Windows binaries (cross-compiled) and
# the native fuzz targets. Usage: scripts/build.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
"$root/scripts/setup.sh"

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"

cmake -S "$root/fuzz" -B "$build/native" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build/native" -j"$(nproc)"
