#!/usr/bin/env bash
# Builds everything and writes the gallery of the whole library, in the order
# of library/index.tsv: the page out/gallery/index.html (an animated preview
# between two moving clips and the --check verdict of every entry, media
# beside it) and the labelled contact sheet out/gallery.png. One Wine session
# serves every entry; a session the caller exported is used as it is.
#   gallery.sh [OUT]    (default out/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
out=${1:-$root/out}
"$root/scripts/build.sh" "$build" >&2

. "$root/scripts/wine-env.sh"
if [ -z "${QUORVEL_WINE_STARTED:-}" ]; then
  trap quorvel_wine_stop EXIT
  quorvel_wine_start "$build" >/dev/null 2>&1
  export QUORVEL_WINE_STARTED
fi
# Debian's interpreter: it has Pillow.
/usr/bin/python3 "$root/scripts/gallery.py" "$out"
