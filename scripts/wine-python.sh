#!/usr/bin/env bash
# Runs one of the comparison programs (SCRIPT.py in scripts/) with the Pillow
# interpreter, the build tree made if it is missing, and one Wine session for
# the whole run (or the caller's, when QUORVEL_WINE_STARTED is exported).
# Usage: scripts/wine-python.sh SCRIPT.py [options]
#   QUORVEL_BUILD_DIR  build tree (default build/release; built when missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
script=$root/scripts/$1
shift
build=${QUORVEL_BUILD_DIR:-$root/build/release}
export QUORVEL_BUILD_DIR=$build

# The interpreter that has Pillow (Debian's python3-pil).
python=python3
if ! "$python" -c 'import PIL' 2>/dev/null; then python=/usr/bin/python3; fi

case " $* " in
  *" --help "* | *" -h "*) exec "$python" "$script" --help ;;
esac

if [ ! -f "$build/bin/render/quorvel-render.exe" ] || [ ! -x "$build/native/glsl-reference" ]; then
  "$root/scripts/build.sh" "$build"
fi

. "$root/scripts/wine-env.sh"
if [ -z "${QUORVEL_WINE_STARTED:-}" ]; then
  trap quorvel_wine_stop EXIT
  quorvel_wine_start "$build" >/dev/null 2>&1
  export QUORVEL_WINE_STARTED
fi
"$python" "$script" --build "$build" "$@"
