#!/usr/bin/env bash
# The preview checks of the test run, after CTest and in its Wine session
# (exported by scripts/test.sh; started here when none is): video in and out of the render tool against
# ffmpeg's blend, then the gallery page built small and short from
# library/index.tsv and opened in headless Chromium.
#   tests/preview/run.sh BUILD_DIR
#   QUORVEL_LIBRARY_DIR  library whose index.tsv the gallery shows (default library/)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
library=${QUORVEL_LIBRARY_DIR:-$root/library}
scratch="$build/preview-test"
rm -rf "$scratch"
mkdir -p "$scratch"
started=$SECONDS
status=0
. "$root/scripts/wine-env.sh"
own_session=
if [ -z "${QUORVEL_WINE_STARTED:-}" ]; then
  quorvel_wine_start "$build" >/dev/null 2>&1 || { echo "preview tests: FAILED (no Wine session)"; exit 1; }
  export QUORVEL_WINE_STARTED
  own_session=1
fi
# A Wine program kept open holds the desktop between tool runs (see
# DesktopKeeper in scripts/gallery.py).
"$WINE64" notepad </dev/null >/dev/null 2>&1 &
keeper=$!
finish() {
  kill "$keeper" 2>/dev/null
  wait "$keeper" 2>/dev/null
  if [ -n "$own_session" ]; then quorvel_wine_stop; fi
}
trap finish EXIT

/usr/bin/python3 "$root/tests/preview/video_test.py" "$scratch/video" || status=1
echo "preview: video test took $((SECONDS - started)) s"

gallery_started=$SECONDS
if QUORVEL_BUILD_DIR="$build" /usr/bin/python3 "$root/scripts/gallery.py" --size 128x72 \
     --frames 6 --fps 6 --library "$library" "$scratch" 2>"$scratch/gallery.log"; then
  tail -1 "$scratch/gallery.log"
else
  cat "$scratch/gallery.log"
  echo "preview: gallery.py FAILED"
  status=1
fi
if [ -f "$scratch/gallery/index.html" ]; then
  node "$root/tests/preview/browser_test.mjs" "$scratch/gallery/index.html" \
    "$library/index.tsv" || status=1
else
  echo "browser test: FAILED (no page)"
  status=1
fi
echo "preview: gallery and browser test took $((SECONDS - gallery_started)) s"

if [ $status -eq 0 ]; then
  echo "preview tests: PASSED in $((SECONDS - started)) s"
else
  echo "preview tests: FAILED in $((SECONDS - started)) s"
fi
exit $status
