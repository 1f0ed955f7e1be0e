#!/usr/bin/env bash
# The main job: builds everything, then renders the default transition
# (library/transitions/crossfade.fx) with the built-in images through
# Quorvel.dll on a real Direct3D 9 device under Wine, into out/:
# frame-0000.png ... and sheet.png. Extra arguments go to quorvel-render.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
"$root/scripts/build.sh" "$build"
echo "Built into $build/bin; rendering into $root/out" >&2
# One render and done: Wine for this call only, nothing left running.
QUORVEL_RENDER_KEEP=${QUORVEL_RENDER_KEEP:-0} "$root/scripts/quorvel-render" --out "$root/out" "$@"
