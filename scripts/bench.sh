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

# The slowest transition beside the fastest kind at 1920x1080, in turns so a
# busy machine weighs on each alike (best of three): fade, hblur, and hblur
# as it was (one texel a loop pass, bench/hblur-one-texel.fx).
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
hblur_fps() {
  local effect=$1 technique=$2
  (cd "$build/bin" && timeout 600 "$WINE64" bench_transition.exe "$(winpath "$effect")" \
    "$technique" 'render\images\from.png' 'render\images\to.png' 10 </dev/null) |
    sed -n 's/^fps //p'
}
declare -A best=([fade]=0 [hblur]=0 [before]=0)
for round in 1 2 3; do
  for run in "fade $root/library/transitions/crossfade.fx Crossfade" \
             "hblur $root/library/transitions/hblur.fx HBlur" \
             "before $root/bench/hblur-one-texel.fx HBlur"; do
    set -- $run
    fps=$(hblur_fps "$2" "$3")
    best[$1]=$(awk -v a="${best[$1]}" -v b="${fps:-0}" 'BEGIN { print (b > a ? b : a) }')
  done
done
awk -v f="${best[fade]}" -v h="${best[hblur]}" -v o="${best[before]}" 'BEGIN {
  printf "1920x1080 frames per second, best of 3 turns\n"
  printf "  fade (crossfade)             %8.2f\n", f
  printf "  hblur                        %8.2f  (%.3f of fade)\n", h, h / f
  printf "  hblur, one texel a pass      %8.2f  (hblur %.2fx its rate)\n", o, h / o
}'

# Every xfade-matched library transition against ffmpeg's own xfade.
python=python3
if ! "$python" -c 'import PIL' 2>/dev/null; then python=/usr/bin/python3; fi
timeout 3600 "$python" "$root/scripts/bench_xfade.py" "$build"
