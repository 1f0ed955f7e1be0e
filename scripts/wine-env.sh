# Sourced by the run scripts: one Xvfb, a private Wine prefix in the build
# tree and a persistent wineserver for the whole run. Wine binds its desktop
# to the display its wineserver first saw, so the X server starts first and
# outlives every Wine process of the run.
#   quorvel_wine_start BUILD_DIR [PREFIX]
#                          sets DISPLAY, WINEPREFIX (default BUILD_DIR/wineprefix,
#                          made afresh), WINE64, WINESERVER
#   quorvel_wine_stop      ends the wineserver and the X server
#   quorvel_xvfb_start     an X server on a free display: DISPLAY, QUORVEL_XVFB_PID
#   quorvel_wine_overrides [--stand-in]
#                          WINEDLLOVERRIDES for our programs (scripts/quorvel/wine.py);
#                          --stand-in selects the stand-in effect framework

QUORVEL_SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

quorvel_wine_overrides() {
  python3 "$QUORVEL_SCRIPTS/quorvel/wine.py" overrides "$@"
}

quorvel_find_wine() {
  WINE64=""
  for c in /usr/lib/wine/wine64 /usr/lib64/wine/wine64 "$(command -v wine64 || true)"; do
    if [ -n "$c" ] && [ -x "$c" ]; then WINE64=$c; break; fi
  done
  WINESERVER=""
  for c in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver "$(command -v wineserver || true)"; do
    if [ -n "$c" ] && [ -x "$c" ]; then WINESERVER=$c; break; fi
  done
  if [ -z "$WINE64" ] || [ -z "$WINESERVER" ]; then
    echo "wine-env: wine64 or wineserver not found" >&2
    return 1
  fi
  export WINE64 WINESERVER
}

# The server picks a free display itself and writes its number once it
# accepts clients, so runs started at the same moment never race for one.
quorvel_xvfb_start() {
  local numberfile
  numberfile=$(mktemp) || return 1
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$numberfile" </dev/null >/dev/null 2>&1 &
  QUORVEL_XVFB_PID=$!
  local i n=""
  for i in $(seq 1 200); do
    n=$(head -n1 "$numberfile" 2>/dev/null || true)
    [ -n "$n" ] && break
    kill -0 "$QUORVEL_XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$numberfile"
  if [ -z "$n" ] || ! kill -0 "$QUORVEL_XVFB_PID" 2>/dev/null; then
    echo "wine-env: Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$n"
}

quorvel_wine_start() {
  local build_dir=$1
  quorvel_find_wine || return 1
  quorvel_xvfb_start || return 1

  export WINEPREFIX=${2:-"$(cd "$build_dir" && pwd)/wineprefix"}
  export WINEARCH=win64
  export WINEDEBUG=${WINEDEBUG:--all}
  WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-$(quorvel_wine_overrides)}
  export WINEDLLOVERRIDES
  rm -rf "$WINEPREFIX"
  "$WINESERVER" -k >/dev/null 2>&1 || true
  mkdir -p "$WINEPREFIX"
  # The persistent server first, so wineboot and every test share it.
  "$WINESERVER" -p
  "$WINE64" wineboot -i >/dev/null 2>&1
  QUORVEL_WINE_STARTED=1
  echo "wine-env: DISPLAY=$DISPLAY WINEPREFIX=$WINEPREFIX" >&2
}

quorvel_wine_stop() {
  if [ -n "${QUORVEL_WINE_STARTED:-}" ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
    QUORVEL_WINE_STARTED=
  fi
  if [ -n "${QUORVEL_XVFB_PID:-}" ]; then
    kill "$QUORVEL_XVFB_PID" 2>/dev/null || true
    wait "$QUORVEL_XVFB_PID" 2>/dev/null || true
    QUORVEL_XVFB_PID=
  fi
}
