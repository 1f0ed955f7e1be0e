#!/usr/bin/env bash
# Builds everything and runs the long-run soaks under Wine.
#
#   scripts/soak.sh [--runs N] [--trim] [--assembler] [FRAMES [SIZE_EVERY [INITIALIZE_EVERY]]]
#     a crossfade for FRAMES frames (100,000), the output size changing every
#     SIZE_EVERY (1,000) and the shader made anew every INITIALIZE_EVERY
#     (10,000), four ways, one process each: through Quorvel.dll, through the
#     stand-in effect framework alone, as a plain Direct3D pixel shader of
#     the same bytecode, and by the fixed-function stages with no shader at
#     all; the whole set N times (2), to show the variance between runs.
#     --assembler adds a fifth: the fixed-function one that also assembles
#     the crossfade's shader at every Initialize, as the stand-in framework
#     does, through the same (Wine's) assembler.
#   scripts/soak.sh --clips [--runs N] [--trim] [CLIPS [FRAMES_PER_CLIP [ONLY]]]
#     the host's rhythm: a new transform per clip (created, filled,
#     initialised, FRAMES_PER_CLIP (250) frames, released) over the library
#     and varied sizes, CLIPS (2,000) clips, beside the same clips through the
#     stand-in framework alone, and two controls with no framework: each
#     clip's shaders assembled by the assembler the framework calls (Wine's),
#     created, drawn with and released; only created, drawn with and
#     released; and neither, only the geometry made, drawn by the
#     fixed-function stages and released; once unless --runs says otherwise.
#     ONLY keeps the library entries whose file name holds it.
#
# Each run prints its committed bytes, handles and live Direct3D objects
# side by side at about twenty checkpoints, and each column's growth after
# warm-up. Then the same growth split by where the memory lives (Linux's
# account of the process, bench/MemoryRegions.h): in Wine's views (Win32
# heaps and the rest; the only memory Windows code, ours included, can
# allocate) or in native memory (glibc's main arena and thread arenas, other
# anonymous mappings, llvmpipe's compiled code), and every jump between two
# checkpoints of more than 1 MiB with the regions it landed in. The Win32
# heaps' bytes in use come in all and by heap: msvcrt's (what this build's
# programs and DLLs allocate, ours included), ucrtbase's and the process
# heap (Wine's own DLLs), with what stays per clip or frame. Where the
# stand-in framework is loaded, its own heap bytes still allocated come
# beside them (fx-live, counted inside it: host/fx/FxHeapCount.cpp).
#
# glibc's own figures come beside them (bench/malloc-probe.c, preloaded into
# the soak's process): bytes its callers hold, and bytes free in its arenas
# but kept. --trim has it run malloc_trim(0) at every checkpoint before the
# regions are read, so "committed" is before and "anonymous" after it.
#
# --keep DIR keeps each process's own lines there (MODE.RUN).
#
# The environment reaches the native side unchanged, so glibc's and Mesa's
# own settings work as controls, e.g. MALLOC_ARENA_MAX=1 scripts/soak.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}

clips=""
runs=""
trim=0
keep=""
assembler=""
while [ $# -gt 0 ]; do
  case $1 in
    --clips) clips=1; shift ;;
    --trim) trim=1; shift ;;
    --keep) keep=$2; shift 2 ;;
    --assembler) assembler=1; shift ;;
    --runs) runs=$2; shift 2 ;;
    *) break ;;
  esac
done
if [ -n "$clips" ]; then runs=${runs:-1}; else runs=${runs:-2}; fi
if ! [ "$runs" -ge 1 ] 2>/dev/null; then
  echo "soak: --runs takes a number of at least 1" >&2
  exit 2
fi

"$root/scripts/build.sh" "$build"
. "$root/scripts/wine-env.sh"
work=$(mktemp -d)
trap 'quorvel_wine_stop; rm -rf "$work"' EXIT
quorvel_wine_start "$build"
WINEDLLOVERRIDES=$(quorvel_wine_overrides --stand-in)
export WINEDLLOVERRIDES
mkdir "$work/probe"
probe=""
if ${CC:-cc} -O2 -shared -fPIC -o "$work/malloc-probe.so" "$root/bench/malloc-probe.c" -lpthread; then
  probe=$work/malloc-probe.so
else
  echo "soak: glibc's figures left out (bench/malloc-probe.c did not build)" >&2
fi
# Wine's server opens files for its clients, so the soak reads its own
# /proc entry by the Linux process id, which exec keeps.
soak() {
  QUORVEL_MALLOC_PROBE=${probe:+$work/probe} QUORVEL_MALLOC_TRIM=$trim \
    timeout 7200 sh -c 'QUORVEL_UNIX_PID=$$ LD_PRELOAD=$QUORVEL_PRELOAD exec "$0" "$@"' \
    "$WINE64" "$build/bin/bench_soak.exe" "$@" </dev/null
}
export QUORVEL_PRELOAD=$probe

# Sets the checkpoints of several runs side by side (one column group a run,
# headed by LABELS, separated by "|") and prints each run's growth from the
# first checkpoint at or past WARM (frames or clips) to the end.
side_by_side() {
  local labels=$1 warm=$2
  shift 2
  awk -v labels="$labels" -v warm="$warm" '
    FNR == 1 { file++; next }
    {
      split("", v)
      for (i = 1; i < NF; i++) v[$i] = $(i + 1)
      row = FNR - 1
      when[row] = $1; unit = $2; count[row] = $3
      mb[file, row] = v["committed"] / 1048576; handles[file, row] = v["handles"]
      live[file, row] = v["objects"]
      rows = row
    }
    END {
      n = split(labels, label, "|")
      printf "%-7s %7s |", "", ""
      for (f = 1; f <= n; f++) printf " %-27s |", label[f]
      printf "\n%-7s %7s |", "", unit
      for (f = 1; f <= n; f++) printf " %9s %7s %8s |", "committed", "handles", "D3D objs"
      printf "\n"
      for (r = 1; r <= rows; r++) {
        printf "%-7s %7d |", when[r], count[r]
        for (f = 1; f <= n; f++) printf " %5.1f MiB %7d %8d |", mb[f, r], handles[f, r], live[f, r]
        printf "\n"
      }
      last = rows - (when[rows] == "closed")
      for (base = 1; base < last && count[base] < warm; base++) {}
      if (base >= last) exit
      printf "growth from %s %d to the end:", unit, count[base]
      for (f = 1; f <= n; f++) printf "  %s %+.1f MiB", label[f], mb[f, last] - mb[f, base]
      printf "\n"
    }' "$@"
}

# The regions of bench/MemoryRegions.h, in the order they are printed.
regions="win32-heaps win32-other heap-in-use heap-crt heap-ucrt heap-process glibc-main glibc-arenas native-mmap jit-code native-other anonymous glibc-in-use glibc-mmapped glibc-free fx-live fx-blocks"

# For each run (LABELS as above): its growth from warm-up to the end split
# by region, one column a run; then every step between checkpoints of more
# than 1 MiB with the regions that moved by more than 0.5 MiB.
by_region() {
  local labels=$1 warm=$2
  shift 2
  awk -v labels="$labels" -v warm="$warm" -v names="$regions" '
    FNR == 1 { file++; next }
    $1 == "closed" { next }
    {
      split("", v)
      for (i = 1; i < NF; i++) v[$i] = $(i + 1)
      row = FNR - 1
      unit = $2; count[file, row] = $3; rows[file] = row
      committed[file, row] = v["committed"]
      for (k = 1; k <= nn; k++) value[file, k, row] = v[name[k]]
      mixed[file] += v["mixed"]; unread[file] += ($0 ~ /regions unread/)
    }
    BEGIN { nn = split(names, name, " ") }
    END {
      n = split(labels, label, "|")
      for (f = 1; f <= n; f++) {
        for (b = 1; b < rows[f] && count[f, b] < warm; b++) {}
        base[f] = b
      }
      printf "growth by region from %s %d to the end, MiB:\n  %-20s", unit, count[1, base[1]], ""
      for (f = 1; f <= n; f++) printf " %18s", label[f]
      printf "\n"
      for (k = 1; k <= nn; k++) {
        # bytes in use in the Win32 heaps and the framework heap move by
        # kilobytes: shown in KiB; its blocks as a count
        kib = name[k] ~ /^heap-/ || name[k] == "fx-live"
        one = name[k] == "fx-blocks"
        printf "  %-20s", name[k] (kib ? " KiB" : "")
        for (f = 1; f <= n; f++)
          printf " %+18.1f", (value[f, k, rows[f]] - value[f, k, base[f]]) / (one ? 1 : kib ? 1024 : 1048576)
        printf "\n"
      }
      # What stays allocated, per unit (clip or frame) after warm-up.
      for (k = 1; k <= nn; k++) {
        if (name[k] !~ /^heap-/ && name[k] != "fx-live") continue
        printf "  %-20s", name[k] " B/" unit
        for (f = 1; f <= n; f++) {
          units = count[f, rows[f]] - count[f, base[f]]
          printf " %+18.1f", (units > 0 ? (value[f, k, rows[f]] - value[f, k, base[f]]) / units : 0)
        }
        printf "\n"
      }
      printf "  %-20s", "committed"
      for (f = 1; f <= n; f++)
        printf " %+18.1f", (committed[f, rows[f]] - committed[f, base[f]]) / 1048576
      printf "\n"
      for (f = 1; f <= n; f++) {
        if (unread[f]) printf "  %s: the regions could not be read at %d checkpoints\n", label[f], unread[f]
        if (mixed[f]) printf "  %s: %d mappings only partly in Wine views\n", label[f], mixed[f]
      }
      printf "steps of more than 1 MiB between checkpoints (regions moving > 0.5 MiB):\n"
      for (f = 1; f <= n; f++) {
        for (r = 2; r <= rows[f]; r++) {
          step = (committed[f, r] - committed[f, r - 1]) / 1048576
          if (step <= 1 && step >= -1) continue
          printf "  %-18s %s %6d-%-6d %+6.1f MiB:", label[f], unit, count[f, r - 1], count[f, r], step
          for (k = 1; k <= nn; k++) {
            if (name[k] == "anonymous" || name[k] ~ /^(fx-|heap-(crt|ucrt|process))/) continue
            d = (value[f, k, r] - value[f, k, r - 1]) / 1048576
            if (d > 0.5 || d < -0.5) printf " %s %+.1f", name[k], d
          }
          printf "\n"
        }
      }
    }' "$@"
}

if [ -n "$clips" ]; then
  modes="clips clips-framework clips-assembler clips-shaders clips-device"
  names="Quorvel.dll|stand-in framework alone|assembled, no framework|shaders only, no framework|geometry only, no shader"
  # Growth counted from a quarter of the run.
  warm=$(( ${1:-2000} / 4 ))
else
  modes="product framework shaders device"
  names="Quorvel.dll|stand-in framework alone|plain pixel shader|fixed function, no shader"
  if [ -n "$assembler" ]; then
    modes="$modes assembler"
    names="$names|fixed function + assembler"
  fi
  # Growth counted from frame 10,000 (a third of shorter runs).
  frames=${1:-100000}
  warm=$(( frames / 3 < 10000 ? frames / 3 : 10000 ))
fi

all_files="" all_labels=""
for run in $(seq 1 "$runs"); do
  files=""
  for mode in $modes; do
    soak "$mode" "$@" >"$work/$mode.$run"
    echo "run $run: $(head -n1 "$work/$mode.$run")"
    files="$files $work/$mode.$run"
  done
  side_by_side "$names" "$warm" $files
  echo
  all_files="$all_files$files"
  for mode in $modes; do all_labels="$all_labels${all_labels:+|}$mode #$run"; done
done
by_region "$all_labels" "$warm" $all_files
if [ -n "$keep" ]; then mkdir -p "$keep" && cp $all_files "$keep/"; fi
