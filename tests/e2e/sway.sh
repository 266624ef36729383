# A real sway, headless, for the Wayland tests (sourced after lib.sh). sway refuses to run as root:
# the compositor and every client on it run as nobody, with a private runtime folder and home.
# start_sway [CONFIG LINE...]: sway with these lines and Xwayland off; sets SWAY_PID and as_nobody.
# start_hands: the virtual keyboard and pointer; hand COMMAND sends it one ("key", "move DX DY",
# "button") and waits until the compositor has had it.
: "${WAYLAND_INPUT:?WAYLAND_INPUT must name the virtual keyboard and pointer client}"

chmod 755 "$WORK"
mkdir -m 700 "$WORK/wl-run" "$WORK/wl-home" && chown 65534:65534 "$WORK/wl-run" "$WORK/wl-home"
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env -u DISPLAY XDG_RUNTIME_DIR="$WORK/wl-run"
  HOME="$WORK/wl-home" XDG_CONFIG_HOME="$WORK/wl-home/config" XDG_CACHE_HOME="$WORK/wl-home/cache"
  WAYLAND_DISPLAY=wayland-1)
"${nobody[@]}" test -x "$LARKSPILL" -a -r "$LARKSPILL_ASSETS/UK-bg01.bmp" ||
  { echo "SKIPPED: the build is out of an ordinary user's reach"; exit 77; }
as_nobody() { "${nobody[@]}" "$@"; }

start_sway() {
  printf '%s\n' 'xwayland disable' "$@" >"$WORK/wl-home/sway.conf"
  bg "${nobody[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    WLR_RENDERER_ALLOW_SOFTWARE=1 sway -c "$WORK/wl-home/sway.conf" >"$WORK/sway.log" 2>&1
  SWAY_PID=$!
  until_ok 10 eval 'ls "$WORK"/wl-run/sway-ipc.*.sock >/dev/null 2>&1' || fail "sway did not start: $(tail -5 "$WORK/sway.log")"
  nobody+=(SWAYSOCK="$(ls "$WORK"/wl-run/sway-ipc.*.sock)")
}

start_hands() {
  mkfifo "$WORK/hands" && exec 7<>"$WORK/hands"
  "${nobody[@]}" "$WAYLAND_INPUT" <&7 >"$WORK/hands.out" 2>&1 &  # not bg: that would read /dev/null
  PIDS+=("$!")
  until_ok 5 grep -q ready "$WORK/hands.out" || fail "no virtual keyboard and pointer: $(cat "$WORK/hands.out")"
}
hand() {
  local before; before=$(grep -c ok "$WORK/hands.out" || true)
  echo "$*" >&7
  until_ok 5 eval '[ "$(grep -c ok "$WORK/hands.out")" -gt '"$before"' ]' || fail "the virtual hands did not do \"$*\": $(cat "$WORK/hands.out"; tail -5 "$WORK/sway.log"; pgrep -a wayland_input)"
}
