# Helpers for the end-to-end tests: a private X server, fresh settings, the real program, a host.
set -euo pipefail

: "${LARKSPILL:?LARKSPILL must name the program}"
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/deps.sh"

WORK=$(mktemp -d /tmp/larkspill-e2e.XXXXXX)
export XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" XDG_RUNTIME_DIR="$WORK/run" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/audio.raw"
SETTINGS="$XDG_CONFIG_HOME/larkspill/settings.ini" shots="${SHOTS:-$WORK/shots}"  # SHOTS=dir keeps screenshots
mkdir -p "$XDG_CONFIG_HOME" "$shots" && mkdir -m 700 "$XDG_RUNTIME_DIR"
TITLE="Larkspill -  Get DirectX" DIALOG="Larkspill Control Box  Freeware for personal use" PIDS=()
# Every Larkspill this test started, a message box's forked child included (they share $WORK).
ours() { local pid; for pid in $(pgrep -x larkspill); do grep -qzF "XDG_RUNTIME_DIR=$WORK/run" "/proc/$pid/environ" 2>/dev/null && echo "$pid"; done; true; }
trap 'end_bus_services; kill -KILL "${PIDS[@]}" $(ours) 2>/dev/null || true; kill ${XVFB_PID:-} 2>/dev/null || true; rm -rf "$WORK"' EXIT
# A desktop's session services started on a test's own bus stay out of its home: no gvfs (whose
# FUSE daemon would mount a folder in it), no volume monitors.
export GIO_USE_VFS=local GIO_USE_VOLUME_MONITOR=unix GVFS_DISABLE_FUSE=1
# Ends what was started by the session buses the test started itself (services outlive their bus)
# and unmounts what they mounted in $WORK; a bus's services are known by the starter address it gives
# them. A bus the test did not start (the desktop's) is never touched. own_bus ADDRESS: one of them.
OWN_BUSES=()
own_bus() { OWN_BUSES+=("$1"); }
end_bus_services() {
  local pid mount bus pids=()
  [ ${#OWN_BUSES[@]} -gt 0 ] || return 0
  for pid in $(ls /proc | grep -x '[0-9]*'); do
    for bus in "${OWN_BUSES[@]}"; do
      grep -qzxF "DBUS_STARTER_ADDRESS=$bus" "/proc/$pid/environ" 2>/dev/null && pids+=("$pid")
    done
  done
  for mount in $(findmnt -rn -o TARGET | grep -F "$WORK/" | sort -r); do
    fusermount3 -u -z "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null || true
  done
  [ ${#pids[@]} -gt 0 ] || return 0
  kill -TERM "${pids[@]}" 2>/dev/null || true
  until_ok 2 eval '! kill -0 "${pids[@]}" 2>/dev/null' || kill -KILL "${pids[@]}" 2>/dev/null || true
}

fail() { echo "FAIL: $*" >&2; exit 1; }
start_display() { kill ${XVFB_PID:-} 2>/dev/null || true; start_xvfb "$@"; export DISPLAY="$XVFB_DISPLAY"; }  # in place of the last
# Polls COMMAND every 0.1 s for up to SECONDS: until SECONDS COMMAND...
until_ok() { local i; for i in $(seq 1 $(($1 * 10))); do "${@:2}" && return 0; sleep 0.1; done; return 1; }

# Two 800 x 600 monitors side by side (Xorg's dummy driver, RandR); 1 where that cannot run.
start_two_monitor_display() {
  local conf="$WORK/xorg.conf" i
  command -v Xorg >/dev/null && [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] || return 1
  printf '%s\n' 'Section "ServerFlags"' 'Option "AutoAddDevices" "false"' 'Option "DontVTSwitch" "true"' \
    EndSection 'Section "Device"' 'Identifier "d"' 'Driver "dummy"' 'VideoRam 32768' EndSection \
    'Section "Monitor"' 'Identifier "m"' 'HorizSync 5-1000' 'VertRefresh 5-200' EndSection \
    'Section "Screen"' 'Identifier "s"' 'Device "d"' 'Monitor "m"' 'DefaultDepth 24' 'SubSection "Display"' \
    'Depth 24' 'Modes "800x600"' 'Virtual 1600 600' EndSubSection EndSection >"$conf"
  start_x_server Xorg -config "$conf" -logfile "$WORK/xorg.log" -noreset -nolisten tcp -novtswitch -sharevts || return 1
  export DISPLAY="$XVFB_DISPLAY"
  xrandr --addmode DUMMY1 800x600 >/dev/null 2>&1 || return 1
  for i in 1 2 3; do  # the driver sometimes takes a second request before the output shows
    xrandr --output DUMMY1 --mode 800x600 --right-of DUMMY0 >/dev/null 2>&1
    xrandr --listmonitors | grep -q "Monitors: 2" && return 0
  done
  return 1
}

# on_display [NAME]: the pids of NAME's processes (Larkspills by default) on this test's display (or ":N.0").
on_display() { local pid; for pid in $(pgrep -x "${1:-larkspill}"); do grep -qxzE "DISPLAY=$DISPLAY(\.0)?" "/proc/$pid/environ" 2>/dev/null && echo "$pid"; done; true; }
savers_are() { [ "$(on_display | wc -l)" -eq "$1" ]; }

# expect_scene X Y W H: that part of the screen shows the scene: many colours, not black.
expect_scene() {
  local figures
  figures=$(import -window root -crop "$3x$4+$1+$2" +repage png:- | convert - -format '%k %[fx:int(mean*1000)]' info:)
  [ "${figures% *}" -gt 1000 ] && [ "${figures#* }" -gt 100 ] || fail "no scene at $3x$4+$1+$2: $figures"
}

# bg COMMAND...: in the background, killed at the end; start_app ARGS...: the program, sets APP_PID.
bg() { "$@" & PIDS+=("$!"); }
start_app() { bg "$LARKSPILL" "$@" >"$WORK/stdout" 2>"$WORK/stderr"; APP_PID=$!; }
err() { cat "$WORK/stderr"; }

# The id of the window with this exact title (xdotool's name search misses SDL's UTF-8 titles).
find_window() {
  local id
  for id in $(xdotool search --classname larkspill 2>/dev/null; xdotool search --name . 2>/dev/null); do
    xprop -id "$id" _NET_WM_NAME WM_NAME 2>/dev/null | grep -qF "= \"$1\"" && { echo "$id"; return 0; }
  done
  return 1
}
wait_window() { until_ok "${2:-10}" find_window "$1"; }  # TITLE [SECONDS]
# start_shown ARG [TITLE]: the program, and its window (the saver's by default) as WIN.
start_shown() { start_app "$1"; WIN=$(wait_window "${2:-$TITLE}") || fail "$1: no window; stderr: $(err)"; }

# Waits up to $2 seconds (default 5) for process $1 to end; sets EXIT_STATUS, or fails.
wait_exit() {
  until_ok "${2:-5}" eval "! kill -0 $1 2>/dev/null" || fail "process $1 did not end within ${2:-5} s; stderr: $(err)"
  wait "$1" && EXIT_STATUS=0 || EXIT_STATUS=$?
}
# ends_with STATUS WHAT [SECONDS]: the program ends within SECONDS (default 2) with STATUS.
ends_with() { wait_exit "$APP_PID" "${3:-2}"; [ "$EXIT_STATUS" -eq "$1" ] || fail "$2: status $EXIT_STATUS, not $1; stderr: $(err)"; }
# Ends the program with SIGTERM, as hosts do: gone within $2 seconds (default 2), by that signal.
term_ends() { kill -TERM "$APP_PID"; ends_with 143 "$1" "${2:-2}"; }
# geometry_is ID "X,Y WxH": where the window is (a pattern: "* 594x406").
geometry_is() { eval "$(xdotool getwindowgeometry --shell "$1")"; [[ "$X,$Y ${WIDTH}x$HEIGHT" == $2 ]] || fail "window at $X,$Y ${WIDTH}x$HEIGHT, not $2"; }
runs_after() { sleep "$1"; kill -0 "$APP_PID" 2>/dev/null || fail "the program ended within $1 s; stderr: $(err)"; }

# setting SECTION KEY: the stored value, read the way a person reads the file
setting() {
  awk -v s="[$1]" -v k="$2" 'BEGIN{IGNORECASE=1} /^\[/{in_s = (tolower($0) == tolower(s))} in_s && index(tolower($0), tolower(k) "=") == 1 {print substr($0, length(k) + 2)}' "$SETTINGS"
}
write_settings() { mkdir -p "$(dirname "$SETTINGS")"; cat >"$SETTINGS"; }

# The colour of one pixel as "r g b" (0-255): pixel X Y [PICTURE], of the screen without a picture.
pixel() { convert "${3:-x:root}" -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'; }
# black X Y...: fails unless each pixel ("x y" arguments) is black.
black() { local xy; for xy in "$@"; do [ "$(pixel $xy)" = "0 0 0" ] || fail "not black at $xy: $(pixel $xy)"; done; }

# Which background a screenshot shows: 1 or 2, the one nearer in a region no water covers (the
# scene's left edge is 320 pixels into the wide background).
scene_of() {
  local f
  for f in UK-bg01.bmp UK-02bgb.bmp; do
    convert "$1" -crop 160x120+0+440 +repage \( "$LARKSPILL_ASSETS/$f" -crop 160x120+320+440 +repage \) \
      -resize '1x1!' -compose difference -composite -format '%[fx:r+g+b]\n' info:
  done | awk 'NR == 1 { a = $1 } NR == 2 { print a + 0 < $1 + 0 ? 1 : 2 }'
}

# start_host WIDTH HEIGHT [TITLE [focus]]: a stand-in host window; sets HOST_PID, HOST_HEX, HOST_DEC.
start_host() {
  bg "$STAND_IN_HOST" "$@" >"$WORK/host"
  HOST_PID=$! && until_ok 5 test -s "$WORK/host"
  read -r HOST_HEX HOST_DEC <"$WORK/host" || fail "the stand-in host did not start"
}
host_resize() { timeout 5 xdotool windowsize --sync "$HOST_HEX" "$1" "$2" || fail "the host did not resize"; }
# The host destroys its window in order and ends, or (kill) dies and the X server takes it.
host_destroy() { kill -TERM "$HOST_PID"; wait "$HOST_PID" || fail "the stand-in host did not end cleanly"; }
host_kill() { kill -KILL "$HOST_PID"; wait "$HOST_PID" 2>/dev/null || true; }
host_children() { xwininfo -id "$HOST_HEX" -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'; }

# wait_drawn X Y [SECONDS]: until that pixel is neither black nor the host's grey.
drawn() { local p; p=$(pixel "$1" "$2"); [ "$p" != "0 0 0" ] && [ "$p" != "128 128 128" ]; }
wait_drawn() { until_ok "${3:-10}" drawn "$1" "$2" || fail "nothing drawn at $1,$2 after ${3:-10} s: $(pixel "$1" "$2"); $(err)"; }
# Fails when the program wrote an X error (to its stderr file, or to the file named).
expect_no_x_error() { ! grep -qi 'X Error\|BadWindow\|BadDrawable' "${1:-$WORK/stderr}" || fail "X error: $(cat "${1:-$WORK/stderr}")"; }
# Fails unless another client can grab the keyboard and the pointer: others_can_grab WHEN
others_can_grab() { "$STAND_IN_HOST" --grab >"$WORK/grab" || fail "$1: keyboard or pointer still held ($(cat "$WORK/grab"))"; }

# start_xscreensaver "NAME:\tVALUE" ...: the real xscreensaver daemon with these settings, in its own
# home. It runs nothing for root: here it runs as user 1000 in a user namespace, or as nobody; 1 where
# neither can reach the build.
start_xscreensaver() {
  local as_user=()
  export HOME="$WORK/home" PATH="$WORK/bin:$PATH"
  mkdir -p "$HOME" "$WORK/bin" && ln -sf "$LARKSPILL" "$WORK/bin/larkspill"
  printf '%b\n' "$@" fade:\tFalse unfade:\tFalse splash:\tFalse dpmsEnabled:\tFalse >"$HOME/.xscreensaver"
  if [ "$(id -u)" -eq 0 ]; then
    as_user=(unshare --user --map-user=1000 --map-group=1000)
    if ! "${as_user[@]}" true 2>/dev/null; then
      as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
      chmod 755 "$WORK" && chown -R 65534 "$WORK" && "${as_user[@]}" test -x "$LARKSPILL" -a -r "$LARKSPILL_ASSETS/UK-bg01.bmp" || return 1
    fi
  fi
  bg "${as_user[@]}" xscreensaver -no-splash -verbose >"$WORK/xscreensaver.log" 2>&1
  until_ok 5 xscreensaver-command -time >/dev/null 2>&1 || true
}

# wait_until SECONDS WHAT CHECK...: runs CHECK (apart, so it may be one that fails the test) every
# 0.1 s until it passes; after SECONDS, fails saying WHAT never came, after the check's own words.
wait_until() {
  local seconds=$1 what=$2 end=$((SECONDS + $1))
  shift 2
  until ("$@") >/dev/null 2>&1; do
    if [ "$SECONDS" -ge "$end" ]; then ("$@") >&2 || true; fail "$what did not come within $seconds s"; fi
    sleep 0.1
  done
}
