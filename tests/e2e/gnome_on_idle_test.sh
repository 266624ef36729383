#!/usr/bin/env bash
# larkspill --on-idle on GNOME's compositor (mutter, headless, Wayland with Xwayland, as nobody):
# the idle time from mutter's idle monitor starts the saver, which runs through Xwayland; a key ends
# it; the next idle stretch starts it again. Skipped without mutter.
source "$(dirname "$0")/lib.sh"
command -v mutter >/dev/null && command -v Xwayland >/dev/null || { echo "SKIPPED: no mutter or Xwayland"; exit 77; }
chmod 755 "$WORK"
mkdir -m 700 "$WORK/wl-run" "$WORK/wl-home" && chown 65534:65534 "$WORK/wl-run" "$WORK/wl-home"
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env -u DISPLAY -u WAYLAND_DISPLAY
  XDG_RUNTIME_DIR="$WORK/wl-run" HOME="$WORK/wl-home" XDG_CONFIG_HOME="$WORK/wl-home/config"
  XDG_CACHE_HOME="$WORK/wl-home/cache" DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/wl-run/bus"
  DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/no-system-bus")
"${nobody[@]}" test -x "$LARKSPILL" -a -r "$LARKSPILL_ASSETS/UK-bg01.bmp" ||
  { echo "SKIPPED: the build is out of an ordinary user's reach"; exit 77; }
bg "${nobody[@]}" dbus-daemon --session --nofork --address="unix:path=$WORK/wl-run/bus" >"$WORK/dbus.log" 2>&1
until_ok 5 test -S "$WORK/wl-run/bus" || fail "no session bus: $(cat "$WORK/dbus.log")"
bg "${nobody[@]}" mutter --headless --wayland --virtual-monitor 800x600 --wayland-display wayland-gnome >"$WORK/mutter.log" 2>&1
until_ok 20 grep -q 'Using public X11 display' "$WORK/mutter.log" || fail "mutter did not start Xwayland: $(tail -5 "$WORK/mutter.log")"
x_display=$(grep -o 'Using public X11 display :[0-9]*' "$WORK/mutter.log" | grep -o ':[0-9]*$')
until_ok 5 eval 'ls "$WORK"/wl-run/.mutter-Xwaylandauth.* >/dev/null 2>&1' || fail "no Xwayland authority file"
export DISPLAY="$x_display" XAUTHORITY="$(ls "$WORK"/wl-run/.mutter-Xwaylandauth.* | head -1)"
nobody+=(WAYLAND_DISPLAY=wayland-gnome DISPLAY="$DISPLAY" XAUTHORITY="$XAUTHORITY")

# The keyboard: mutter drops the first key of a new remote-desktop keyboard, so one goes before the
# saver starts (a real keyboard has long been in use by then).
mkfifo "$WORK/keys" && exec 7<>"$WORK/keys"
"${nobody[@]}" /usr/bin/python3 "$(dirname "$0")/mutter_keys.py" <&7 >"$WORK/keys.out" 2>&1 &
PIDS+=("$!")
until_ok 5 grep -q ready "$WORK/keys.out" || fail "no remote-desktop keyboard: $(cat "$WORK/keys.out")"
key() {
  local before; before=$(grep -c ok "$WORK/keys.out" || true)
  echo key >&7
  until_ok 5 eval '[ "$(grep -c ok "$WORK/keys.out")" -gt '"$before"' ]' || fail "the key was not sent: $(cat "$WORK/keys.out")"
}
key

bg "${nobody[@]}" SDL_AUDIODRIVER=dummy "$LARKSPILL" --on-idle 0.05 >"$WORK/watcher.out" 2>&1
WATCHER=$!
saver_count_is() { [ "$(pgrep -P "$WATCHER" -x larkspill | wc -l)" -eq "$1" ]; }
until_ok 5 saver_count_is 1 || fail "no saver after GNOME's idle time: $(cat "$WORK/watcher.out")"
grep -q "GNOME.s idle monitor" "$WORK/watcher.out" || fail "the watcher did not ask GNOME: $(cat "$WORK/watcher.out")"
sleep 2  # the saver must stay: an absence, nothing to wait for
saver_count_is 1 || fail "the saver did not stay: $(cat "$WORK/watcher.out")"
wait_window "$TITLE" 10 >/dev/null || fail "the saver shows no window on Xwayland"
import -window root "$shots/gnome-saver.png" 2>/dev/null || true
key
key_at=$(date +%s%N)
until_ok 3 saver_count_is 0 || fail "the first key did not end the saver on GNOME"
until_ok 6 saver_count_is 1 || fail "no saver after the next idle stretch on GNOME"
took=$((($(date +%s%N) - key_at) / 1000000))
[ "$took" -ge 2500 ] || fail "a saver came back $took ms after the key, before the idle time"
wait_window "$TITLE" 10 >/dev/null || fail "the second saver shows no window on Xwayland"
wait_until 10 "the focus on the second saver" eval '[ "$(xdotool getwindowfocus)" = "$(find_window "$TITLE")" ]'
key
until_ok 3 saver_count_is 0 || fail "the key did not end the second saver on GNOME"
echo "gnome on idle: ok"
