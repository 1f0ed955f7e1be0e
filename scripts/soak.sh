#!/usr/bin/env bash
# Builds everything and runs the long-run soaks under Wine.
#
#   scripts/soak.sh [FRAMES [SIZE_EVERY [INITIALIZE_EVERY]]]
#     a crossfade for FRAMES frames (100,000), the output size changing every
#     SIZE_EVERY (1,000) and the shader made anew every INITIALIZE_EVERY
#     (10,000), three ways, one process each: through Quorvel.dll, through
#     the stand-in effect framework alone, and as a plain Direct3D pixel
#     shader of the same bytecode. Prints their committed bytes, handles and
#     live Direct3D objects side by side at the start, every 10,000 frames and
#     the end, and each one's growth after the first 10,000 frames; growth in
#     the controls too is growth below our code.
#   scripts/soak.sh --clips [CLIPS [FRAMES_PER_CLIP]]
#     the host's rhythm: a new transform per clip (created, filled,
#     initialised, FRAMES_PER_CLIP (250) frames, released) over the library
#     and varied sizes, CLIPS (2,000) clips, with the same figures every
#     twentieth of the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
"$root/scripts/build.sh" "$build"
. "$root/scripts/wine-env.sh"
trap quorvel_wine_stop EXIT
quorvel_wine_start "$build"
export WINEDLLOVERRIDES="mscoree,mshtml=;d3dx9_30=n"
soak() { timeout 7200 "$WINE64" "$build/bin/bench_soak.exe" "$@" </dev/null; }

if [ "${1:-}" = "--clips" ]; then
  shift
  soak clips "$@"
  exit
fi

work=$(mktemp -d)
trap 'quorvel_wine_stop; rm -rf "$work"' EXIT
for mode in product framework shaders; do
  soak "$mode" "$@" >"$work/$mode"
  head -n1 "$work/$mode"
done
# One row a checkpoint: committed MB, handles and live objects of each way.
awk '
  FNR == 1 { file++; next }
  {
    for (i = 1; i < NF; i++) v[$i] = $(i + 1)
    row = FNR - 1
    when[row] = $1; frame[row] = $3
    mb[file, row] = $5 / 1048576; handles[file, row] = v["handles"]; live[file, row] = $NF
    rows = row
  }
  END {
    printf "%-7s %7s | %-27s | %-27s | %-27s\n", "", "", "Quorvel.dll", "stand-in framework alone", "plain pixel shader"
    printf "%-7s %7s |", "", "frame"
    for (f = 1; f <= 3; f++) printf " %9s %7s %8s |", "committed", "handles", "D3D objs"
    printf "\n"
    for (r = 1; r <= rows; r++) {
      printf "%-7s %7d |", when[r], frame[r]
      for (f = 1; f <= 3; f++) printf " %6.1f MB %7d %8d |", mb[f, r], handles[f, r], live[f, r]
      printf "\n"
      if (frame[r] == 10000) base = r
    }
    if (base && rows > base) {
      printf "growth from frame %d to the end:", frame[base]
      last = rows - (when[rows] == "closed")
      for (f = 1; f <= 3; f++) printf "  %+.1f MB", mb[f, last] - mb[f, base]
      printf "  (Quorvel.dll, framework, plain shader)\n"
    }
  }' "$work/product" "$work/framework" "$work/shaders"
