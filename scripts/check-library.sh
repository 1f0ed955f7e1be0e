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
    -h | --help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "check-library: unknown argument $1" >&2; exit 2 ;;
  esac
done

if [ ! -f "$build/bin/render/quorvel-render.exe" ]; then
  "$root/scripts/build.sh" "$build"
fi
. "$root/scripts/wine-env.sh"
if [ -z "${QUORVEL_WINE_STARTED:-}" ]; then
  trap quorvel_wine_stop EXIT
  quorvel_wine_start "$build" >/dev/null 2>&1
  export QUORVEL_WINE_STARTED
fi

out=$(mktemp -d)
trap 'rm -rf "$out"; quorvel_wine_stop' EXIT
failed=()
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
