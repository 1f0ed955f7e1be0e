#!/usr/bin/env bash
# Builds everything and runs every test: the Windows test programs under Wine
# (one Xvfb, a private prefix, a persistent wineserver) through CTest, then
# the preview checks (video, the gallery page in Chromium), then the native
# fuzz targets for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
"$root/scripts/build.sh" "$build"

. "$root/scripts/wine-env.sh"
trap quorvel_wine_stop EXIT
quorvel_wine_start "$build"

status=0
ctest --test-dir "$build" --output-on-failure -j2 || status=$?
# Native unit tests of the platform-free code and the shader compiler.
ctest --test-dir "$build/native" --output-on-failure -j2 || status=$?
# Video through the render tool and the gallery page in Chromium, in this session.
QUORVEL_WINE_STARTED=1 "$root/tests/preview/run.sh" "$build" || status=$?

# The library: every index entry's --check, every xfade match against ffmpeg.
export QUORVEL_WINE_STARTED
"$root/scripts/test-library.sh" "$build" || status=$?

"$root/scripts/fuzz.sh" "$build/native" "${QUORVEL_FUZZ_SECONDS:-30}" || status=$?
exit $status
