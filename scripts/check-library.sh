#!/usr/bin/env bash
# Every row of library/index.tsv through the render tool's --check, and the
# index itself (scripts/check_library.py), in one Wine session (or the
# caller's, when QUORVEL_WINE_STARTED is exported). Prints one line per entry;
# exits non-zero if any fails.
#   scripts/check-library.sh [--size WxH] [--tolerance N] [--library DIR]
# checks the library as it ships (BUILD_DIR/library, HLSL compiled) unless
# --library names another.
#   QUORVEL_BUILD_DIR  build tree (default build/release; built when missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
export QUORVEL_BUILD_DIR=$build
case " $* " in
  *" --help "* | *" -h "*) exec python3 "$root/scripts/check_library.py" --help ;;
esac

if [ ! -f "$build/bin/render/quorvel-render.exe" ] || [ ! -f "$build/library/index.tsv" ]; then
  "$root/scripts/build.sh" "$build"
fi
. "$root/scripts/wine-env.sh"
if [ -z "${QUORVEL_WINE_STARTED:-}" ]; then
  trap quorvel_wine_stop EXIT
  quorvel_wine_start "$build" >/dev/null 2>&1
  export QUORVEL_WINE_STARTED
fi
python3 "$root/scripts/check_library.py" "$@"
