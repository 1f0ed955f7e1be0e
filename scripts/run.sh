#!/usr/bin/env bash
# Builds everything and runs the main job.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
"$root/scripts/build.sh" "$build"
echo "Built into $build/bin:" >&2
ls -1 "$build/bin" >&2
