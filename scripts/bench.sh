#!/usr/bin/env bash
# Builds everything and runs the benchmarks under Wine; they print figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
# --hblur: only the side-by-side run of hblur and fade at 1920x1080.
hblur_only=""
if [ "${1:-}" = "--hblur" ]; then hblur_only=1; fi
"$root/scripts/build.sh" "$build"
. "$root/scripts/wine-env.sh"
# The caller's Wine session when it exported QUORVEL_WINE_STARTED, else one of its own.
if [ -z "${QUORVEL_WINE_STARTED:-}" ]; then
  trap quorvel_wine_stop EXIT
  quorvel_wine_start "$build"
fi
WINEDLLOVERRIDES=$(quorvel_wine_overrides --stand-in)
export WINEDLLOVERRIDES
[ "$hblur_only" ] || timeout 600 "$WINE64" "$build/bin/bench_crossfade.exe"

# The slowest transition beside the fastest kind at 1920x1080, in turns so a
# busy machine weighs on each alike (best of three): fade, hblur, hblur as it
# was (one texel a loop pass, bench/hblur-one-texel.fx), and a shader that
# only fetches texels (64 of each input a pixel, bench/fetch-64.fx). Each
# one's texel fetches a second beside its frames a second: hblur's fetch rate
# against the bare fetches' is how much any rewrite that reads the same
# texels could still gain.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
hblur_fps() {
  local effect=$1 technique=$2
  (cd "$build/bin" && timeout 600 "$WINE64" bench_transition.exe "$(winpath "$effect")" \
    "$technique" 'render\images\from.png' 'render\images\to.png' 10 </dev/null) |
    sed -n 's/^fps //p'
}
declare -A best=([fade]=0 [hblur]=0 [before]=0 [fetch]=0)
for round in 1 2 3; do
  for run in "fade $root/library/transitions/crossfade.fx Crossfade" \
             "hblur $root/library/transitions/hblur.fx HBlur" \
             "before $root/bench/hblur-one-texel.fx HBlur" \
             "fetch $root/bench/fetch-64.fx Fetch64"; do
    set -- $run
    fps=$(hblur_fps "$2" "$3")
    best[$1]=$(awk -v a="${best[$1]}" -v b="${fps:-0}" 'BEGIN { print (b > a ? b : a) }')
  done
done
# Texels read a frame, averaged over the bench's ten Times k / 9: hblur's
# pixel reads its half of the texels its pair shares (sixteen, then four to a
# pass and three more) and one of its own; the one-texel version reads its
# whole box, cnt = min(size, W - x); fade one; fetch-64 64; both inputs each.
awk -v f="${best[fade]}" -v h="${best[hblur]}" -v o="${best[before]}" -v x="${best[fetch]}" '
function passes(c,   n16, n4) {
  n16 = c >= 16 ? int(c / 16) : 0; n4 = int((c - 16 * n16) / 4)
  return 16 * n16 + 4 * n4 + 3
}
BEGIN {
  W = 1920; H = 1080; half = int(W / 2)
  for (k = 0; k <= 9; k++) {
    p = 1 - k / 9; prog = p <= 0.5 ? 2 * p : 2 * (1 - p); size = 1 + int(half * prog)
    for (col = 0; col < W; col++) {
      cnt = size < W - col ? size : W - col
      x0 = col - col % 2; c0 = size < W - x0 ? size : W - x0
      n = c0 - 1; m = n - int(n / 2)
      paired += passes(col % 2 ? n - m : m) + 1; plain += cnt
    }
  }
  th = 2 * H * paired / 10; to = 2 * H * plain / 10; tf = 2 * W * H; tx = 2 * 64 * W * H
  printf "1920x1080, best of 3 turns      frames/s   texel fetches/s\n"
  printf "  fade (crossfade)             %8.2f   %10.3g\n", f, f * tf
  printf "  hblur                        %8.2f   %10.3g  (%.3f of fade'"'"'s frames)\n", h, h * th, h / f
  printf "  hblur, one texel a pass      %8.2f   %10.3g  (hblur %.2fx its frames)\n", o, o * to, h / o
  printf "  fetches only (64 an input)   %8.2f   %10.3g\n", x, x * tx
  printf "a pixel reads %.0f texels (both inputs) of a box of %.0f on average; hblur fetches at\n", th / (W * H), to / (W * H)
  printf "%.2f of the bare fetches'"'"' rate\n", h * th / (x * tx)
}'
[ "$hblur_only" ] && exit

# Every xfade-matched library transition against ffmpeg's own xfade.
python=python3
if ! "$python" -c 'import PIL' 2>/dev/null; then python=/usr/bin/python3; fi
timeout 3600 "$python" "$root/scripts/bench_xfade.py" "$build"
