#!/usr/bin/env bash
# The library's part of the test command: every row of library/index.tsv
# through the render tool's --check (scripts/check-library.sh), then every
# xfade-matched entry against ffmpeg's xfade at a small odd size
# (scripts/compare-xfade.sh), then every HLSL entry against the
# assembly-only file quorvel-fxc makes of it, which must render the same
# (scripts/compare-hlsl.sh, one small size). Uses the caller's Wine session when
# QUORVEL_WINE_STARTED is exported. Usage: scripts/test-library.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export QUORVEL_BUILD_DIR=${1:-${QUORVEL_BUILD_DIR:-$root/build/release}}
status=0
"$root/scripts/check-library.sh" || status=$?
"$root/scripts/compare-xfade.sh" --size 131x97 --times 0,0.2,0.5,0.7,1 --out "$QUORVEL_BUILD_DIR/compare-xfade" || status=$?
"$root/scripts/compare-hlsl.sh" --size 97x61 --frames 3 --out "$QUORVEL_BUILD_DIR/compare-hlsl" || status=$?
exit $status
