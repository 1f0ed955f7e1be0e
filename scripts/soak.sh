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
#     twentieth of the run, beside the same clips through the stand-in
#     framework alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
"$root/scripts/build.sh" "$build"
. "$root/scripts/wine-env.sh"
trap quorvel_wine_stop EXIT
quorvel_wine_start "$build"
WINEDLLOVERRIDES=$(quorvel_wine_overrides --stand-in)
export WINEDLLOVERRIDES
soak() { timeout 7200 "$WINE64" "$build/bin/bench_soak.exe" "$@" </dev/null; }

# Sets the checkpoints of several runs side by side (one column group a run,
# headed by LABELS, separated by "|") and prints each run's growth from the
# checkpoint BASE (a row number, warm-up behind it) to the end.
side_by_side() {
  local labels=$1 base=$2
  shift 2
  awk -v labels="$labels" -v base="$base" '
    FNR == 1 { file++; next }
    {
      for (i = 1; i < NF; i++) v[$i] = $(i + 1)
      row = FNR - 1
      when[row] = $1; unit = $2; count[row] = $3
      mb[file, row] = $5 / 1048576; handles[file, row] = v["handles"]; live[file, row] = $NF
      rows = row
    }
    END {
      n = split(labels, label, "|")
      printf "%-7s %7s |", "", ""
      for (f = 1; f <= n; f++) printf " %-27s |", label[f]
      printf "\n%-7s %7s |", "", unit
      for (f = 1; f <= n; f++) printf " %9s %7s %8s |", "committed", "handles", "D3D objs"
      printf "\n"
      for (r = 1; r <= rows; r++) {
        printf "%-7s %7d |", when[r], count[r]
        for (f = 1; f <= n; f++) printf " %5.1f MiB %7d %8d |", mb[f, r], handles[f, r], live[f, r]
        printf "\n"
      }
      last = rows - (when[rows] == "closed")
      if (base < 1 || base >= last) exit
      printf "growth from %s %d to the end:", unit, count[base]
      for (f = 1; f <= n; f++) printf "  %s %+.1f MiB", label[f], mb[f, last] - mb[f, base]
      printf "\n"
    }' "$@"
}

work=$(mktemp -d)
trap 'quorvel_wine_stop; rm -rf "$work"' EXIT

if [ "${1:-}" = "--clips" ]; then
  shift
  # The clips through Quorvel.dll, then the same clips through the stand-in
  # framework alone; growth counted from a quarter of the run.
  for mode in clips clips-framework; do
    soak "$mode" "$@" >"$work/$mode"
    head -n1 "$work/$mode"
  done
  side_by_side "Quorvel.dll|stand-in framework alone" 6 "$work/clips" "$work/clips-framework"
  exit
fi

for mode in product framework shaders; do
  soak "$mode" "$@" >"$work/$mode"
  head -n1 "$work/$mode"
done
# Growth counted from the second checkpoint (frame 10,000).
side_by_side "Quorvel.dll|stand-in framework alone|plain pixel shader" 2 \
  "$work/product" "$work/framework" "$work/shaders"
