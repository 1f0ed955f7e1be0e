#!/usr/bin/env bash
# Renders every row of library/index.tsv through Quorvel.dll with the render
# tool's --check: the entry compiles, its technique exists, and a transition
# gives exactly its first input at Time 0 and its second at Time 1. One Wine
# session for the whole run (or the caller's, when QUORVEL_WINE_STARTED is
# exported). Prints one line per entry; exits non-zero if any fails.
#   scripts/check-library.sh [--size WxH] [--tolerance N]
#   QUORVEL_BUILD_DIR  build tree (default build/release; built when missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEL_BUILD_DIR:-$root/build/release}
export QUORVEL_BUILD_DIR=$build
size=97x61
tolerance=0
while [ $# -gt 0 ]; do
  case $1 in
    --size) size=$2; shift 2 ;;
    --tolerance) tolerance=$2; shift 2 ;;
    -h | --help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "check-library: unknown argument $1" >&2; exit 2 ;;
  esac
done

if [ ! -f "$build/bin/render/quorvel-render.exe" ]; then
  "$root/scripts/build.sh" "$build"
fi
. "$root/scripts/wine-env.sh"
own_session=
if [ -z "${QUORVEL_WINE_STARTED:-}" ]; then
  own_session=1
  trap quorvel_wine_stop EXIT
  quorvel_wine_start "$build" >/dev/null 2>&1
  export QUORVEL_WINE_STARTED
fi

# The index itself: its header, six cells a row, known kinds, files that
# exist, one row per name and per xfade counterpart.
problems=$(awk -F'\t' -v lib="$root/library" '
  NR == 1 { if ($0 != "name\tkind\tfile\ttechnique\txfade\tdescription") print "header is " $0; next }
  /^$/ { next }
  {
    if (NF != 6) print "row " NR ": " NF " cells, not 6"
    for (i = 1; i <= NF; i++) if ($i == "") print "row " NR ": cell " i " is empty"
    if ($2 != "transition" && $2 != "effect") print "row " NR ": kind " $2
    if (system("test -f \"" lib "/" $3 "\"") != 0) print "row " NR ": no file " $3
    if (seen[$1]++) print "row " NR ": a second row named " $1
    if ($5 != "-" && xfade[$5]++) print "row " NR ": a second row for xfade " $5
  }' "$root/library/index.tsv")
failed=()
if [ -n "$problems" ]; then
  printf '%s\n' "$problems" | sed 's/^/check-library: index.tsv: /'
  failed+=(index.tsv)
fi
out=$(mktemp -d)
trap 'rm -rf "$out"; if [ -n "$own_session" ]; then quorvel_wine_stop; fi' EXIT
count=0
while IFS=$'\t' read -r name kind file technique xfade description; do
  [ "$name" = name ] && continue
  [ -z "$name" ] && continue
  count=$((count + 1))
  if "$root/scripts/quorvel-render" --check --tolerance "$tolerance" --size "$size" \
      --effect "$root/library/$file" --technique "$technique" --out "$out/$name" \
      </dev/null >"$out/$name.log" 2>&1; then
    printf 'check-library: ok    %-12s %s %s\n' "$name" "$file" "$technique"
  else
    printf 'check-library: FAIL  %-12s %s %s\n' "$name" "$file" "$technique"
    sed 's/^/    /' "$out/$name.log"
    failed+=("$name")
  fi
done <"$root/library/index.tsv"
echo "check-library: $count entries, ${#failed[@]} failed${failed:+: ${failed[*]}}"
[ ${#failed[@]} -eq 0 ]
