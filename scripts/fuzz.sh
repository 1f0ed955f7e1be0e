#!/usr/bin/env bash
# Runs every native fuzz target for a bounded time over its seed corpus, two
# at a time (each target is one process on one core).
# Usage: scripts/fuzz.sh NATIVE_BUILD_DIR SECONDS [PARALLEL]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
seconds=${2:-30}
parallel=${3:-2}

run_one() {
  local fuzzer=$1 name work
  name=$(basename "$fuzzer")
  work=$(mktemp -d)
  [ -d "$root/fuzz/corpus/${name#fuzz_}" ] && cp -r "$root/fuzz/corpus/${name#fuzz_}"/. "$work"/ 2>/dev/null || true
  if ! "$fuzzer" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 "$work" >"$work.log" 2>&1; then
    { echo "fuzz: $name FAILED"; tail -40 "$work.log"; } >&2
    rm -rf "$work" "$work.log"
    return 1
  fi
  echo "fuzz: $name passed ${seconds}s ($(grep -c . "$work.log" || true) log lines)" >&2
  rm -rf "$work" "$work.log"
}

status=0
pids=()
shopt -s nullglob
for fuzzer in "$dir"/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  if [ ${#pids[@]} -ge "$parallel" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
  run_one "$fuzzer" &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
