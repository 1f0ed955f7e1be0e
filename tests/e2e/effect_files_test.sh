#!/usr/bin/env bash
# The native quorvel-effect-files, which the installer's staging and the
# wrapper's --watch use: a quoted include beside the including file, then
# beside each file further out, then in the search folders; a name nothing
# answers fails with the includer named. Usage: effect_files_test.sh BUILD_DIR
set -euo pipefail
lister=$1/bin/quorvel-effect-files
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

mkdir -p "$work/fx/sub/sub" "$work/search"
printf '#include "sub/a.fxh"\n' >"$work/fx/main.fx"
printf '#include "b.fxh"\r\n#include "top.fxh"\n#include "found.fxh"\n#include "sub\\\\c.fxh"\n' \
  >"$work/fx/sub/a.fxh"
echo 'float b;' >"$work/fx/sub/b.fxh"
echo 'float c;' >"$work/fx/sub/sub/c.fxh"
echo 'float t;' >"$work/fx/top.fxh"
echo 'float f;' >"$work/search/found.fxh"
# Decoys where only a wrong rule would look.
echo 'decoy' >"$work/fx/b.fxh"
echo 'decoy' >"$work/search/top.fxh"

out=$("$lister" --folder "$work/search" "$work/fx/main.fx") || fail "exit $? listing main.fx"
expected="$work/fx/main.fx
$work/fx/sub/a.fxh
$work/fx/sub/b.fxh
$work/fx/top.fxh
$work/search/found.fxh
$work/fx/sub/sub/c.fxh"
[ "$out" = "$expected" ] || fail "listed:
$out
expected:
$expected"

# Without the search folder, found.fxh names nothing: the list still comes,
# the directive is named and the exit code says so.
code=0
err=$("$lister" "$work/fx/main.fx" 2>&1 >/dev/null) || code=$?
[ "$code" = 1 ] || fail "exit $code for a missing include, expected 1"
[[ $err == *"$work/fx/sub/a.fxh includes \"found.fxh\""* ]] || fail "message: $err"

code=0
"$lister" "$work/fx/none.fx" 2>/dev/null || code=$?
[ "$code" = 3 ] || fail "exit $code for a missing effect, expected 3"
code=0
"$lister" 2>/dev/null || code=$?
[ "$code" = 2 ] || fail "exit $code without an effect, expected 2"
exit $status
