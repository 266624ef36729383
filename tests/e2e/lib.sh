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

# Starts an X server with two 800 x 600 monitors side by side, as a desk of two: Xorg's dummy
# driver, its second output switched on by RandR. Sets DISPLAY (and XVFB_PID, so it is stopped
# with the test); returns 1 where Xorg or the driver cannot run.
start_two_monitor_display() {
  local conf="$WORK/xorg.conf" n i
  command -v Xorg >/dev/null && [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] || return 1
  cat >"$conf" <<'END'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "d"
  Driver "dummy"
  VideoRam 32768
EndSection
Section "Monitor"
  Identifier "m"
  HorizSync 5-1000
  VertRefresh 5-200
EndSection
Section "Screen"
  Identifier "s"
  Device "d"
  Monitor "m"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "800x600"
    Virtual 1600 600
  EndSubSection
EndSection
END
  for n in $(seq 70 89); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
    Xorg ":$n" -config "$conf" -logfile "$WORK/xorg.log" -noreset -nolisten tcp -novtswitch \
      -sharevts >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for i in $(seq 1 100); do
      xdpyinfo >/dev/null 2>&1 && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    xdpyinfo >/dev/null 2>&1 || { kill "$XVFB_PID" 2>/dev/null; XVFB_PID=; continue; }
    xrandr --addmode DUMMY1 800x600 >/dev/null 2>&1 || return 1
    # The driver sometimes takes a second request before the output shows.
    for i in 1 2 3; do
      xrandr --output DUMMY1 --mode 800x600 --right-of DUMMY0 >/dev/null 2>&1
      xrandr --listmonitors | grep -q "Monitors: 2" && return 0
    done
    return 1
  done
  return 1
}

# The pids of the Larkspills drawing on this test's display (a host may name it ":N.0").
our_savers() {
  local pid
  for pid in $(pgrep -x larkspill); do
    { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxE "DISPLAY=$DISPLAY(\.0)?" && echo "$pid"
  done
  return 0
}

# Waits up to $2 seconds for exactly $1 Larkspills on this display; fails when that never holds.
wait_savers() {
  local count=$1 limit=${2:-10} i
  for i in $(seq 1 $((limit * 10))); do
    [ "$(our_savers | wc -l)" -eq "$count" ] && return 0
    sleep 0.1
  done
  fail "$(our_savers | wc -l) Larkspills on $DISPLAY after $limit s, not $count"
}

# expect_scene X Y W H: that part of the screen shows the scene: many colours, not black.
expect_scene() {
  local shot="$WORK/scene.png" figures
  import -window root -crop "$3x$4+$1+$2" +repage "$shot"
  figures=$(convert "$shot" -format '%k %[fx:int(mean*1000)]' info:)
  [ "${figures% *}" -gt 1000 ] && [ "${figures#* }" -gt 100 ] ||
    fail "no scene at $3x$4+$1+$2: ${figures% *} colours, mean ${figures#* }/1000"
}

# When process $1 started, in clock ticks since boot.
started_at() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{print $20}'; }

# Fails when a D-Bus session bus was started for this display (dbus-launch --autolaunch and its
# dbus-daemon outlive the program that caused them). Only those started since this test's X
# server count: an earlier server of the same number may have left one of its own.
expect_no_session_bus() {
  local pid since
  since=$(started_at "$XVFB_PID")
  for pid in $(pgrep -x dbus-launch) $(pgrep -x dbus-daemon); do
    [ "$(started_at "$pid")" -ge "$since" ] 2>/dev/null || continue
    if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxE "DISPLAY=$DISPLAY(\.0)?"; then
      fail "a session bus was left behind on $DISPLAY: $(tr '\0' ' ' <"/proc/$pid/cmdline")"
    fi
  done
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

# Ends the program with SIGTERM, as hosts do: it must be gone within $2 seconds (default 2),
# ended by that signal. term_ends WHAT [SECONDS]
term_ends() {
  kill -TERM "$APP_PID"
  wait_exit "$APP_PID" "${2:-2}"
  [ "$EXIT_STATUS" -eq 143 ] || fail "$1: status $EXIT_STATUS after SIGTERM; stderr: $(cat "$WORK/stderr")"
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

# Which background a screenshot shows: 1 or 2, by the mean colour of a region no water covers.
scene_of() {
  local region="160x120+0+440" s a b
  s=$(convert "$1" -crop "$region" +repage -resize 1x1\! -format '%[fx:r],%[fx:g],%[fx:b]' info:)
  a=$(convert "$LARKSPILL_ASSETS/UK-bg01.bmp" -crop "$region" +repage -resize 1x1\! -format '%[fx:r],%[fx:g],%[fx:b]' info:)
  b=$(convert "$LARKSPILL_ASSETS/UK-02bgb.bmp" -crop "$region" +repage -resize 1x1\! -format '%[fx:r],%[fx:g],%[fx:b]' info:)
  python3 -c "
s, a, b = [tuple(map(float, v.split(','))) for v in ('$s', '$a', '$b')]
d = lambda p, q: sum((x - y) ** 2 for x, y in zip(p, q))
print(1 if d(s, a) < d(s, b) else 2)"
}
