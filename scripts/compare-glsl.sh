#!/usr/bin/env bash
# Compares GL transitions compiled by quorvel-fxc and rendered through
# Quorvel.dll with the same GLSL rendered by Mesa's own OpenGL
# (glsl-reference): per transition, size and progress the largest channel
# difference and the share of pixels within 3 levels, with a verdict against
# the bar (>= 99% within 3 at every progress). Default: our own transitions
# in tests/glsl/transitions. Exits non-zero on a miss that
# tests/glsl/expected-failures.tsv does not list.
# One Wine session serves the whole run (or the caller's, when
# QUORVEL_WINE_STARTED is exported). Options: see --help.
exec "$(dirname "$0")/wine-python.sh" compare_glsl.py "$@"
