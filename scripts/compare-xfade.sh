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
exec "$(dirname "$0")/wine-python.sh" compare_xfade.py "$@"
