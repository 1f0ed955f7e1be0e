#!/usr/bin/env bash
# Builds everything and runs every test: the Windows test programs under Wine
# (one Xvfb, a private prefix, a persistent wineserver) through CTest and the
# native tests, then side by side the library's checks and the fuzz targets,
# and the preview checks (video, the gallery page in Chromium) and the GL
# transition comparisons.
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
# Then two lanes at once in the same session: each mostly waits on one Wine
# or native program at a time, so together they use both cores. The second
# lane's output follows the first's.
lanes=$(mktemp -d)
trap 'quorvel_wine_stop; rm -rf "$lanes"' EXIT
export QUORVEL_WINE_STARTED
(
  lane=0
  # Video through the render tool and the gallery page in Chromium.
  "$root/tests/preview/run.sh" "$build" || lane=1
  # GL transitions: ours and the kept regressions through quorvel-fxc and
  # Quorvel.dll against Mesa's rendering, then a short differential run.
  "$root/scripts/compare-glsl.sh" --one-size --out "$build/compare-glsl" \
    "$root/tests/glsl/transitions" "$root/tests/glsl/regressions" || lane=1
  "$root/scripts/differential-glsl.sh" --count 10 --no-reduce --out "$build/differential-glsl" || lane=1
  "$root/scripts/compare-hlsl.sh" --effects "$root/tests/hlsl/effects" --out "$build/compare-hlsl-effects" || lane=1
  exit $lane
) >"$lanes/second.log" 2>&1 &
second=$!

# The library: every index entry's --check, every xfade match against ffmpeg,
# every HLSL entry against its compiled file.
"$root/scripts/test-library.sh" "$build" || status=$?
"$root/scripts/fuzz.sh" "$build/native" "${QUORVEL_FUZZ_SECONDS:-30}" || status=$?

wait "$second" || status=$?
cat "$lanes/second.log"
exit $status
