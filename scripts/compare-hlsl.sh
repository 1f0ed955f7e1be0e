#!/usr/bin/env bash
# The library's HLSL entries rendered from their source, from the
# assembly-only file quorvel-fxc makes of each, and (--against REV) from the
# assembly version they replaced at git revision REV: a table of the largest
# channel difference per entry, size and Time. With --effects DIR: each
# NAME.fx there against Mesa's rendering of the GL transition NAME.glsl
# beside it (the same effect in GLSL), and against the assembly-only file
# quorvel-fxc makes of it; exits 1 on a miss. One Wine session serves the
# run (or the caller's, when QUORVEL_WINE_STARTED is exported). Options:
# see --help.
#   QUORVEL_BUILD_DIR  build tree (default build/release; built when missing)
exec "$(dirname "$0")/wine-python.sh" compare_hlsl.py "$@"
