#!/usr/bin/env bash
# Builds everything and runs the benchmarks under Wine; they print figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
"$root/scripts/build.sh" "$build"
. "$root/scripts/wine-env.sh"
trap quorvel_wine_stop EXIT
quorvel_wine_start "$build"
WINEDLLOVERRIDES=$(quorvel_wine_overrides --stand-in)
export WINEDLLOVERRIDES
timeout 600 "$WINE64" "$build/bin/bench_crossfade.exe"

# Every xfade-matched library transition against ffmpeg's own xfade.
python=python3
if ! "$python" -c 'import PIL' 2>/dev/null; then python=/usr/bin/python3; fi
timeout 3600 "$python" "$root/scripts/bench_xfade.py" "$build"
