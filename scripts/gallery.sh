#!/usr/bin/env bash
# Builds everything and renders one gallery sheet of the whole library: a row
# of five frames (Time 0 to 1) per entry of library/index.tsv, in its order,
# into out/gallery.png (and each entry's frames under out/gallery/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
out=${1:-$root/out}
"$root/scripts/build.sh" "$build"

. "$root/scripts/wine-env.sh"
trap quorvel_wine_stop EXIT
quorvel_wine_start "$build" >/dev/null 2>&1
export QUORVEL_WINE_STARTED
library="$root/library"
folders=()
while IFS=$'\t' read -r name kind file technique xfade description; do
  [ "$name" = name ] && continue
  dir="$out/gallery/$name"
  rm -rf "$dir"
  echo "gallery: $name" >&2
  "$root/scripts/quorvel-render" --effect "$library/$file" --technique "$technique" \
    --size 192x144 --frames 5 --out "$dir" </dev/null 2>/dev/null
  folders+=("$dir")
done <"$library/index.tsv"
python3 "$root/scripts/compose_gallery.py" "$out/gallery.png" "${folders[@]}"
echo "gallery: wrote $out/gallery.png" >&2
