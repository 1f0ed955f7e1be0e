#!/usr/bin/env bash
# Builds everything and renders one gallery sheet of every sample: a row of
# five frames (Time 0 to 1) per sample, in the order listed below, into
# out/gallery.png (and each sample's frames under out/gallery/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
out=${1:-$root/out}
"$root/scripts/build.sh" "$build"

. "$root/scripts/wine-env.sh"
trap quorvel_wine_stop EXIT
quorvel_wine_start "$build" >/dev/null 2>&1
export QUORVEL_WINE_STARTED
samples="$build/bin/render/samples"
folders=()
for sample in transitions/crossfade transitions/wipe transitions/iris transitions/dissolve \
              transitions/fadecolor transitions/push transitions/pixelate transitions/swell \
              effects/greyscale effects/tint effects/blur; do
  name=$(basename "$sample")
  dir="$out/gallery/$name"
  rm -rf "$dir"
  echo "gallery: $sample" >&2
  "$root/scripts/quorvel-render" --effect "$samples/$sample.fx" --size 192x144 --frames 5 \
    --out "$dir" 2>/dev/null
  folders+=("$dir")
done
python3 "$root/scripts/compose_gallery.py" "$out/gallery.png" "${folders[@]}"
echo "gallery: wrote $out/gallery.png" >&2
