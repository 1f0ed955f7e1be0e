#!/usr/bin/env bash
# Builds everything and runs the long-run soak under Wine: 100,000 frames
# through Quorvel.dll (or the count given), printing private bytes, handles
# and live Direct3D objects at the start, every 10,000 frames and the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
"$root/scripts/build.sh" "$build"
. "$root/scripts/wine-env.sh"
trap quorvel_wine_stop EXIT
quorvel_wine_start "$build"
WINEDLLOVERRIDES=$(quorvel_wine_overrides --stand-in)
export WINEDLLOVERRIDES
timeout 3600 "$WINE64" "$build/bin/bench_soak.exe" "$@" </dev/null
