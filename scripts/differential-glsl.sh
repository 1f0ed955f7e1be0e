#!/usr/bin/env bash
# Differential testing of quorvel-fxc against Mesa's OpenGL on random
# generated GL transitions, with failures reduced to small cases (see
# scripts/differential_glsl.py). One Wine session for the whole run (or the
# caller's, when QUORVEL_WINE_STARTED is exported). Options: see --help.
exec "$(dirname "$0")/wine-python.sh" differential_glsl.py "$@"
