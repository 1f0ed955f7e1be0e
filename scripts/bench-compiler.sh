#!/usr/bin/env bash
# The shader compiler's figures: instruction slots of the library's
# hand-written transitions against their GL transition ports
# (tests/compiler/ports) compiled by quorvel-fxc, compile times, and with
# --render the largest pixel difference between the two renders through
# Quorvel.dll at five Times. Builds nothing: run scripts/build.sh first.
# Usage: scripts/bench-compiler.sh [--render]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
bench=$build/native/compiler_bench
if [[ ! -x $bench ]]; then
    echo "bench-compiler: $bench is not built; run scripts/build.sh first" >&2
    exit 127
fi
"$bench" "$root" 9
[[ ${1:-} == --render ]] || exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python=python3
if ! "$python" -c 'import PIL' 2>/dev/null; then python=/usr/bin/python3; fi
printf '\n%-10s %s\n' transition "largest channel difference, hand-written vs compiled, Times 0 .. 1"
for port in crossfade iris push swell wipe fadecolor pixelate dissolve; do
    extra=()
    [[ $port == dissolve ]] && extra=(--texture "noise=$root/library/transitions/textures/noise.png")
    "$build/native/quorvel-fxc" "$root/tests/compiler/ports/$port.glsl" -o "$work/$port.fx" "${extra[@]}"
    # The hand-written files' own //!render values, given to the ports' uniforms.
    same=()
    [[ $port == wipe ]] && same=(--semantic direction:vector=0.7071,0.2929)
    [[ $port == fadecolor ]] && same=(--semantic color=#FFF0C0)
    for kind in hand compiled; do
        effect=$root/library/transitions/$port.fx
        args=()
        if [[ $kind == compiled ]]; then effect=$work/$port.fx; args=("${same[@]}"); fi
        "$root/scripts/quorvel-render" --effect "$effect" --size 640x360 --frames 5 \
            --out "$work/$port-$kind" "${args[@]}" >/dev/null 2>&1
    done
    "$python" - "$work/$port-hand" "$work/$port-compiled" "$port" <<'PY'
import sys
from PIL import Image, ImageChops
a, b, name = sys.argv[1:4]
diffs = []
for i in range(5):
    x = Image.open(f"{a}/frame-{i:04d}.png").convert("RGB")
    y = Image.open(f"{b}/frame-{i:04d}.png").convert("RGB")
    diffs.append(max(hi for lo, hi in ImageChops.difference(x, y).getextrema()))
print(f"{name:<10} " + " ".join(f"{d:4d}" for d in diffs))
PY
done
