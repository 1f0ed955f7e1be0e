#!/usr/bin/env bash
# Compares every library transition that names an FFmpeg xfade counterpart
# (column "xfade" of library/index.tsv) with ffmpeg's own xfade: both render
# the same frames from the same two RGB images, and a table gives per Time
# the largest channel difference, the share of pixels within 2 and the PSNR,
# with a verdict per entry against the bar. Known misses and their reasons
# are in library/xfade-misses.tsv. Exits non-zero when an entry misses the
# bar without a listed reason or when more entries miss than allowed.
# One Wine session serves the whole run (or the caller's, when
# QUORVEL_WINE_STARTED is exported). Options: see --help.
#   QUORVEL_BUILD_DIR  build tree (default build/release; built when missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
export QUORVEL_BUILD_DIR=$build

# The interpreter that has Pillow (Debian's python3-pil).
python=python3
if ! "$python" -c 'import PIL' 2>/dev/null; then python=/usr/bin/python3; fi

case " $* " in
  *" --help "* | *" -h "*) exec "$python" "$root/scripts/compare_xfade.py" --help ;;
esac

if [ ! -f "$build/bin/render/quorvel-render.exe" ]; then
  "$root/scripts/build.sh" "$build"
fi

. "$root/scripts/wine-env.sh"
if [ -z "${QUORVEL_WINE_STARTED:-}" ]; then
  trap quorvel_wine_stop EXIT
  quorvel_wine_start "$build" >/dev/null 2>&1
  export QUORVEL_WINE_STARTED
fi
"$python" "$root/scripts/compare_xfade.py" --build "$build" "$@"
