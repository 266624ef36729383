# Helpers for the end-to-end tests: a private Xvfb, a fresh settings folder, the real binary.
set -euo pipefail

: "${LARKSPILL:?LARKSPILL must name the program}"
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/deps.sh"

WORK=$(mktemp -d /tmp/larkspill-e2e.XXXXXX)
export XDG_CONFIG_HOME="$WORK/config"
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE="$WORK/audio.raw"
SETTINGS="$XDG_CONFIG_HOME/larkspill/settings.ini"
PIDS=()

trap 'kill -KILL "${PIDS[@]}" 2>/dev/null || true; kill ${XVFB_PID:-} 2>/dev/null || true; rm -rf "$WORK"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Starts the private X server: start_display WxHxD
start_display() {
  start_xvfb "$1"
  export DISPLAY="$XVFB_DISPLAY"
}

# Starts the program in the background with the given arguments; sets APP_PID.
start_app() {
  "$LARKSPILL" "$@" >"$WORK/stdout" 2>"$WORK/stderr" &
  APP_PID=$!
  PIDS+=("$APP_PID")
}

# Starts the program like start_app under strace, which is then the parent that sees how it
# ended and records in $WORK/trace the files it opened and closed and the signals it sent.
# Sets APP_PID (the program) and TRACER_PID.
start_app_traced() {
  local i
  strace -f --seccomp-bpf -q -e trace=openat,close,tgkill,kill -o "$WORK/trace" \
    "$LARKSPILL" "$@" >"$WORK/stdout" 2>"$WORK/stderr" &
  TRACER_PID=$!
  PIDS+=("$TRACER_PID")
  for i in $(seq 1 50); do
    APP_PID=$(pgrep -P "$TRACER_PID" | head -n 1) && break
    sleep 0.1
  done
  [ -n "$APP_PID" ] || fail "the program did not start under strace"
}

# Waits up to $2 seconds (default 10) for a window with this exact title; prints its id.
wait_window() {
  local title=$1 limit=${2:-10} i id
  # xdotool's name search does not read SDL's UTF-8 titles: look at each window's names instead.
  for i in $(seq 1 $((limit * 10))); do
    for id in $(xdotool search --classname larkspill 2>/dev/null; xdotool search --name . 2>/dev/null); do
      if xprop -id "$id" _NET_WM_NAME WM_NAME 2>/dev/null | grep -qF "= \"${title}\""; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# Waits up to $2 seconds for process $1 to end; sets EXIT_STATUS. Fails when it does not end.
wait_exit() {
  local pid=$1 limit=${2:-5} i
  for i in $(seq 1 $((limit * 20))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" && EXIT_STATUS=0 || EXIT_STATUS=$?
      return 0
    fi
    sleep 0.05
  done
  fail "process $pid did not end within $limit s; stderr: $(cat "$WORK/stderr")"
}

# Fails when process $1 has ended.
expect_running() {
  kill -0 "$1" 2>/dev/null || fail "the program ended early; stderr: $(cat "$WORK/stderr")"
}

# setting SECTION KEY: the stored value, read the way a person reads the file
setting() {
  awk -v s="[$1]" -v k="$2" 'BEGIN{IGNORECASE=1} /^\[/{in_s = (tolower($0) == tolower(s))} in_s && index(tolower($0), tolower(k) "=") == 1 {print substr($0, length(k) + 2)}' "$SETTINGS"
}

write_settings() {
  mkdir -p "$(dirname "$SETTINGS")"
  cat >"$SETTINGS"
}

# The colour of one pixel as "r g b" (0-255): pixel X Y [PICTURE], of the screen without a picture.
pixel() {
  local grab=(import -window root)
  [ -z "${3:-}" ] || grab=(convert "$3")
  "${grab[@]}" -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
    sed -n '2p' | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}

screenshot() { import -window root "$1"; }
