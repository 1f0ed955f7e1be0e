#!/usr/bin/env bash
# Differential testing of quorvel-fxc against Mesa's OpenGL on random
# generated GL transitions, with failures reduced to small cases (see
# scripts/differential_glsl.py). One Wine session for the whole run (or the
# caller's, when QUORVEL_WINE_STARTED is exported). Options: see --help.
#   QUORVEL_BUILD_DIR  build tree (default build/release; built when missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
export QUORVEL_BUILD_DIR=$build

# The interpreter that has Pillow (Debian's python3-pil).
python=python3
if ! "$python" -c 'import PIL' 2>/dev/null; then python=/usr/bin/python3; fi

case " $* " in
  *" --help "* | *" -h "*) exec "$python" "$root/scripts/differential_glsl.py" --help ;;
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
"$python" "$root/scripts/differential_glsl.py" --build "$build" "$@"
