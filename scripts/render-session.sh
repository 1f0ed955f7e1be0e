# Sourced by scripts/quorvel-render: one Wine session kept between calls of
# the render tool, so a call costs a Wine process, not an X server, a prefix
# and a wineserver.
#
# The session lives in one folder (QUORVEL_RENDER_SESSION_DIR, default
# BUILD/render-session): its own prefix, never the test harness's, an Xvfb
# and a persistent wineserver. The first call starts it under an exclusive
# lock; every call holds a shared lock while its tool runs, so any number of
# calls share the session at once and a stop waits for them. A watchdog ends
# the session after QUORVEL_RENDER_IDLE seconds (default 900) without a call.
# Everything the session leaves running has its standard streams on
# /dev/null: a caller reading the wrapper's output through a pipe still sees
# it end.
#
#   quorvel_session_use DIR TOOL   starts or joins; exports the Wine variables
#                                  and keeps fd 8 (shared use lock) open
#   quorvel_session_stop DIR       waits for running calls, then ends it all
#   quorvel_session_watchdog DIR

quorvel_session_read() {
  local dir=$1
  SESSION_DISPLAY="" SESSION_XVFB="" SESSION_WATCHDOG=""
  [ -f "$dir/state" ] || return 1
  local key value
  while IFS='=' read -r key value; do
    case $key in
      display) SESSION_DISPLAY=$value ;;
      xvfb) SESSION_XVFB=$value ;;
      watchdog) SESSION_WATCHDOG=$value ;;
    esac
  done <"$dir/state"
}

# A process id still naming the program it was recorded for.
quorvel_session_pid_is() {
  local pid=$1 name=$2
  [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] &&
    tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "$name"
}

quorvel_session_alive() {
  local dir=$1
  quorvel_session_read "$dir" || return 1
  quorvel_session_pid_is "$SESSION_XVFB" Xvfb &&
    quorvel_session_pid_is "$SESSION_WATCHDOG" "session-watchdog $dir" &&
    [ -d "$dir/prefix" ]
}

quorvel_session_env() {
  local dir=$1
  export DISPLAY=$SESSION_DISPLAY
  export WINEPREFIX="$dir/prefix"
  export WINEARCH=win64
  export WINEDEBUG=${WINEDEBUG:--all}
}

# Ends what the state file names; the caller holds the start lock.
quorvel_session_end() {
  local dir=$1
  quorvel_session_read "$dir" || true
  if [ -d "$dir/prefix" ]; then
    WINEPREFIX="$dir/prefix" "$WINESERVER" -k >/dev/null 2>&1 || true
    WINEPREFIX="$dir/prefix" "$WINESERVER" -w >/dev/null 2>&1 || true
  fi
  if quorvel_session_pid_is "$SESSION_XVFB" Xvfb; then kill "$SESSION_XVFB" 2>/dev/null || true; fi
  if [ "$SESSION_WATCHDOG" != "${BASHPID:-}" ] &&
    quorvel_session_pid_is "$SESSION_WATCHDOG" "session-watchdog $dir"; then
    # Its group, so its sleep ends with it.
    kill -- "-$SESSION_WATCHDOG" 2>/dev/null || kill "$SESSION_WATCHDOG" 2>/dev/null || true
  fi
  rm -f "$dir/state"
}

quorvel_session_write() {
  printf 'display=%s\nxvfb=%s\nwatchdog=%s\n' "$SESSION_DISPLAY" "$SESSION_XVFB" \
    "${SESSION_WATCHDOG:-}" >"$1/state"
}

quorvel_session_start() {
  local dir=$1 tool=$2 script=$3
  quorvel_session_end "$dir"
  rm -rf "$dir/prefix" "$dir/warm-up"
  mkdir -p "$dir/prefix"
  local number="$dir/display"
  : >"$number"
  SESSION_WATCHDOG=""
  setsid Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$number" \
    </dev/null >/dev/null 2>&1 8>&- 9>&- &
  SESSION_XVFB=$!
  SESSION_DISPLAY=""
  # Recorded at once, so a start that fails later still ends this server.
  quorvel_session_write "$dir"
  local i
  for i in $(seq 1 200); do
    [ -s "$number" ] && { SESSION_DISPLAY=:$(head -n1 "$number"); break; }
    kill -0 "$SESSION_XVFB" 2>/dev/null || break
    sleep 0.05
  done
  [ -n "$SESSION_DISPLAY" ] || { echo "quorvel-render: Xvfb did not start" >&2; return 1; }
  quorvel_session_write "$dir"
  quorvel_session_env "$dir"
  WINEDLLOVERRIDES=$(quorvel_wine_overrides)
  export WINEDLLOVERRIDES
  # Each in a session of its own, so a signal to the caller's process group
  # does not reach the services Wine leaves running.
  setsid -w "$WINESERVER" -p </dev/null >/dev/null 2>&1 8>&- 9>&-
  setsid -w "$WINE64" wineboot -i </dev/null >/dev/null 2>&1 8>&- 9>&- || return 1
  # One small render starts the desktop and loads the device libraries with
  # no caller's streams attached.
  WINEDLLOVERRIDES=$(quorvel_wine_overrides --stand-in) setsid -w "$WINE64" "$tool" --frames 1 --size 16x16 \
    --out "$dir/warm-up" </dev/null >/dev/null 2>&1 8>&- 9>&- || true
  # Wine ends its desktop process once no window is left on it, and the next
  # program then waits seconds for a new one; the keeper holds a hidden window
  # until the session ends. Started after the warm-up, once the services run.
  local keeper="$(dirname "$tool")/quorvel-session-keeper.exe"
  if [ -f "$keeper" ]; then
    setsid "$WINE64" "$keeper" </dev/null >/dev/null 2>&1 8>&- 9>&- &
  fi
  touch "$dir/last-use"
  setsid bash "$script" --session-watchdog "$dir" </dev/null >/dev/null 2>&1 8>&- 9>&- &
  SESSION_WATCHDOG=$!
  quorvel_session_write "$dir"
}

quorvel_session_use() {
  local dir=$1 tool=$2 script=$3
  quorvel_find_wine || return 1
  mkdir -p "$dir"
  exec 9>"$dir/lock"
  flock -x 9
  if ! quorvel_session_alive "$dir"; then
    echo "quorvel-render: starting a Wine session in $dir (kept for later calls)" >&2
    if ! quorvel_session_start "$dir" "$tool" "$script"; then
      quorvel_session_end "$dir"
      exec 9>&-
      return 1
    fi
  fi
  quorvel_session_env "$dir"
  exec 8>"$dir/use.lock"
  flock -s 8
  touch "$dir/last-use"
  exec 9>&-
}

quorvel_session_stop() {
  local dir=$1
  quorvel_find_wine || return 1
  [ -d "$dir" ] || return 0
  exec 9>"$dir/lock"
  flock -x 9
  exec 8>"$dir/use.lock"
  flock -x 8
  quorvel_session_end "$dir"
  exec 8>&- 9>&-
}

quorvel_session_watchdog() {
  local dir=$1
  local idle=${QUORVEL_RENDER_IDLE:-900}
  local step=10
  [ "$idle" -lt 20 ] && step=1
  quorvel_find_wine || return 1
  while sleep "$step"; do
    [ -f "$dir/state" ] || return 0
    local last now
    last=$(stat -c %Y "$dir/last-use" 2>/dev/null || echo 0)
    now=$(date +%s)
    [ $((now - last)) -ge "$idle" ] || continue
    exec 9>"$dir/lock"
    if flock -n -x 9; then
      exec 8>"$dir/use.lock"
      # Idle and no call running: end the session.
      if flock -n -x 8; then
        quorvel_session_end "$dir"
        return 0
      fi
      exec 8>&-
    fi
    exec 9>&-
  done
}
