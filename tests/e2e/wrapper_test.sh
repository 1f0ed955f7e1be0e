#!/usr/bin/env bash
# scripts/quorvel-render on Linux, apart from any session the harness runs:
# two first calls at once share one kept session that they start, the
# harness's prefix is left alone, output read through a pipe ends with the
# call, --watch renders again after a change to the effect or an include,
# the guide's vertex-shader example passes --check, and --stop-session waits
# for a running render before it ends the session.
#   wrapper_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
wrapper="$root/scripts/quorvel-render"
work=$(mktemp -d)
export QUORVEL_BUILD_DIR=$build QUORVEL_RENDER_SESSION_DIR=$work/session
unset QUORVEL_WINE_STARTED
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
cleanup() {
  "$wrapper" --stop-session >/dev/null 2>&1 || true
  rm -rf "$work"
  [ -z "${marker:-}" ] || rm -f "$marker"
}
trap cleanup EXIT

marker=""
if [ -d "$build/wineprefix" ]; then
  marker="$build/wineprefix/render-wrapper-test-$$"
  : >"$marker"
fi

# Two first calls at once: one starts the session, both render.
iris="$root/library/transitions/iris.fx"
"$wrapper" --effect "$iris" --size 96x72 --frames 3 --out "$work/c1" 2>"$work/c1.log" &
p1=$!
"$wrapper" --effect "$iris" --size 96x72 --frames 3 --out "$work/c2" 2>"$work/c2.log" &
p2=$!
wait $p1 || fail "first concurrent render: $(cat "$work/c1.log")"
wait $p2 || fail "second concurrent render: $(cat "$work/c2.log")"
starts=$(cat "$work/c1.log" "$work/c2.log" | grep -c "starting a Wine session" || true)
[ "$starts" = 1 ] || fail "$starts session starts for two calls"
cmp -s "$work/c1/sheet.png" "$work/c2/sheet.png" || fail "concurrent renders differ"

# A later call joins the session; a pipe reading its output sees the end.
started=$(date +%s%N)
out=$(timeout 120 "$wrapper" --frames 1 --size 32x24 --out "$work/b" 2>&1) || fail "joining call: $out"
ms=$((($(date +%s%N) - started) / 1000000))
echo "a call in the kept session took $ms ms" >&2
grep -q "starting a Wine session" <<<"$out" && fail "a second session was started"
grep -q "wrote 1 frame and" <<<"$out" || fail "joining call did not render: $out"
if [ -n "$marker" ] && [ ! -e "$marker" ]; then fail "the harness's prefix was rebuilt"; fi

# --watch: a change to the included file, then to the effect itself.
mkdir -p "$work/w"
echo 'float4 Colour = { 1, 0, 0, 1 };' >"$work/w/colour.fxh"
cat >"$work/w/solid.fx" <<'EOF'
#include "colour.fxh"
texture Input : InputTexture0;
technique Solid { pass P0 { PixelShaderConstantF[0] = <Colour>; VertexShader = NULL;
    PixelShader = asm { ps_2_0
        mov oC0, c0 }; } }
EOF
QUORVEL_RENDER_WATCH_CYCLES=3 "$wrapper" --watch --effect "$work/w/solid.fx" --size 32x24 \
  --frames 2 --out "$work/w/out" 2>"$work/w/log" &
watcher=$!
renders() { grep -c "watch: passed" "$work/w/log" || true; }
wait_for_renders() {
  local i
  for i in $(seq 1 600); do
    [ "$(renders)" -ge "$1" ] && return 0
    kill -0 $watcher 2>/dev/null || break
    sleep 0.1
  done
  fail "watch did not render $1 times: $(cat "$work/w/log")"
  return 1
}
pixel() {
  /usr/bin/python3 -c 'import sys; from PIL import Image
print(*Image.open(sys.argv[1]).convert("RGB").getpixel((5, 5)))' "$work/w/out/frame-0001.png"
}
if wait_for_renders 1; then
  [ "$(pixel)" = "255 0 0" ] || fail "first watch render is $(pixel), not red"
  echo 'float4 Colour = { 0, 1, 0, 1 };' >"$work/w/colour.fxh"
  if wait_for_renders 2; then
    [ "$(pixel)" = "0 255 0" ] || fail "after the include changed the frame is $(pixel), not green"
    sed -i 's/Solid/Plain/' "$work/w/solid.fx"
    wait_for_renders 3 && { grep -q "technique Plain" "$work/w/log" || fail "effect change not seen"; }
  fi
fi
wait $watcher || fail "watch ended with an error: $(cat "$work/w/log")"

# The guide's vertex-shader example passes the check as printed.
awk '/^<!-- example wave.fx/ { state = 1; next }
     state == 1 && /^```/ { state = 2; next }
     state == 2 && /^```/ { exit }
     state == 2 { print }' "$root/docs/effect-authors-guide.md" >"$work/wave.fx"
grep -q sincos "$work/wave.fx" || fail "the guide's example was not found"
out=$("$wrapper" --check --effect "$work/wave.fx" --size 96x72 --out "$work/wave" 2>&1) ||
  fail "the guide's example fails its check: $out"

# A GL transition is compiled first: it passes its check and leaves nothing
# beside it; one that does not compile fails as an effect does, at its line.
mkdir -p "$work/glsl"
printf '%s\n' 'uniform float lift; // = 0.1' 'vec4 transition(vec2 uv) {' \
  '  vec2 up = vec2(uv.x, uv.y - lift * (1.0 - progress));' \
  '  return mix(getFromColor(uv), getToColor(up), progress);' '}' >"$work/glsl/rise.glsl"
out=$("$wrapper" --check --effect "$work/glsl/rise.glsl" --size 64x48 --out "$work/glsl/out" 2>&1) ||
  fail "a GL transition fails its check: $out"
left=$(ls -A "$work/glsl" | tr '\n' ' ')
[ "$left" = "out rise.glsl " ] || fail "compiling left files: $left"
printf '%s\n' 'vec4 transition(vec2 uv) {' '  return getToColor(uv) * progres;' '}' >"$work/glsl/typo.glsl"
status=0
out=$("$wrapper" --effect "$work/glsl/typo.glsl" --out "$work/glsl/out2" 2>&1) || status=$?
{ [ "$status" = 4 ] && grep -q "typo.glsl(2,.*progres" <<<"$out"; } ||
  fail "a GLSL error gave exit $status: $out"

# --stop-session waits for a render that is running, then ends everything.
xvfb=$(sed -n 's/^xvfb=//p' "$work/session/state")
"$wrapper" --effect "$iris" --size 160x120 --frames 6 --out "$work/d" 2>"$work/d.log" &
render=$!
for i in $(seq 1 300); do
  grep -q initialising "$work/d.log" && break
  sleep 0.1
done
"$wrapper" --stop-session 2>/dev/null
wait $render || fail "the render during --stop-session failed: $(cat "$work/d.log")"
grep -q "wrote 6 frames" "$work/d.log" || fail "the render during --stop-session: $(cat "$work/d.log")"
[ ! -e "$work/session/state" ] || fail "--stop-session left the session's state"
running() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null || true)
  [ -n "$state" ] && [ "$state" != Z ]
}
for i in $(seq 1 50); do
  running "$xvfb" || break
  sleep 0.1
done
if running "$xvfb"; then fail "--stop-session left Xvfb ($xvfb) running"; fi

[ "$failures" -eq 0 ] || exit 1
echo "wrapper: all passed" >&2
