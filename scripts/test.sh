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

# GL transitions: ours and the kept regressions through quorvel-fxc and
# Quorvel.dll against Mesa's rendering, then a short differential run.
"$root/scripts/compare-glsl.sh" --one-size --out "$build/compare-glsl" \
  "$root/tests/glsl/transitions" "$root/tests/glsl/regressions" || status=$?
"$root/scripts/differential-glsl.sh" --count 10 --no-reduce --out "$build/differential-glsl" || status=$?

"$root/scripts/fuzz.sh" "$build/native" "${QUORVEL_FUZZ_SECONDS:-30}" || status=$?
exit $status
