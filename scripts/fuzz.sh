#!/usr/bin/env bash
# Runs every native fuzz target for a bounded time over its seed corpus.
# Usage: scripts/fuzz.sh NATIVE_BUILD_DIR SECONDS
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
seconds=${2:-30}
status=0
shopt -s nullglob
for fuzzer in "$dir"/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus_seed="$root/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$corpus_seed" ] && cp -r "$corpus_seed"/. "$work"/ 2>/dev/null || true
  echo "fuzz: $name for ${seconds}s" >&2
  if ! "$fuzzer" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 "$work" >"$work.log" 2>&1; then
    echo "fuzz: $name FAILED" >&2
    tail -40 "$work.log" >&2
    status=1
  else
    echo "fuzz: $name passed ($(grep -c . "$work.log" || true) log lines)" >&2
  fi
  rm -rf "$work" "$work.log"
done
exit $status
