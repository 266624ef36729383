#!/usr/bin/env bash
# The saver on KWin (kwin_wayland --virtual, as nobody). A window that opens over it takes the
# keyboard, as KWin gives every new window the keyboard; the saver asks for it back, stays on top
# (KWin's own screenshot shows the scene, not the window) and a key then ends it. KWin's own lock
# takes the keyboard and pointer for good and ends the saver within a second. Skipped without kwin_wayland.
source "$(dirname "$0")/lib.sh"
command -v kwin_wayland >/dev/null || { echo "SKIPPED: no kwin_wayland"; exit 77; }
: "${WAYLAND_INPUT:?WAYLAND_INPUT must name the virtual keyboard and pointer client}"
chmod 755 "$WORK"
mkdir -m 700 "$WORK/wl-run" "$WORK/wl-home" && chown 65534:65534 "$WORK/wl-run" "$WORK/wl-home"
# Its packaged binary carries a file capability that a container may refuse; a copy has none.
cp /usr/bin/kwin_wayland "$WORK/kwin_wayland" && chmod 755 "$WORK/kwin_wayland"
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env -u DISPLAY -u WAYLAND_DISPLAY
  XDG_RUNTIME_DIR="$WORK/wl-run" HOME="$WORK/wl-home" XDG_CONFIG_HOME="$WORK/wl-home/config" XDG_CACHE_HOME="$WORK/wl-home/cache" DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/wl-run/bus")
"${nobody[@]}" test -x "$LARKSPILL" -a -r "$LARKSPILL_ASSETS/UK-bg01.bmp" ||
  { echo "SKIPPED: the build is out of an ordinary user's reach"; exit 77; }
bg "${nobody[@]}" dbus-daemon --session --nofork --address="unix:path=$WORK/wl-run/bus" >"$WORK/dbus.log" 2>&1
until_ok 5 test -S "$WORK/wl-run/bus" || fail "no session bus: $(cat "$WORK/dbus.log")"
# KWin hands its fake input and screenshots only to the programs a desktop file names, unless told not to check.
bg "${nobody[@]}" KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
  "$WORK/kwin_wayland" --virtual --width 800 --height 600 --socket wayland-kwin >"$WORK/kwin.log" 2>&1
until_ok 20 test -S "$WORK/wl-run/wayland-kwin" || fail "KWin did not start: $(tail -5 "$WORK/kwin.log")"
nobody+=(WAYLAND_DISPLAY=wayland-kwin)
mkfifo "$WORK/hands" && exec 7<>"$WORK/hands"
"${nobody[@]}" "$WAYLAND_INPUT" <&7 >"$WORK/hands.out" 2>&1 &  # not bg: that would read /dev/null
PIDS+=("$!")
until_ok 5 grep -q "ready: KWin's fake input" "$WORK/hands.out" || fail "no fake input on KWin: $(cat "$WORK/hands.out")"
hand() {
  local before; before=$(grep -c ok "$WORK/hands.out" || true)
  echo "$*" >&7
  until_ok 5 eval '[ "$(grep -c ok "$WORK/hands.out")" -gt '"$before"' ]' || fail "KWin's fake input did not do \"$*\""
}
start_saver() {
  bg "${nobody[@]}" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/wl-home/audio$1.raw" WAYLAND_DEBUG=1 "$LARKSPILL" /s >"$WORK/stdout" 2>"$WORK/stderr$1"
  APP_PID=$! SAVER_LOG="$WORK/stderr$1"
  wait_until 10 "the saver on KWin" test -s "$WORK/wl-home/audio$1.raw"
  grep -q 'wl_keyboard@[0-9]*\.enter' "$SAVER_LOG" || fail "the saver never had the keyboard on KWin"
}
err() { grep -v '^\[' "$SAVER_LOG"; }  # its own words, without the protocol log
keyboard_times() { grep -c "wl_keyboard@[0-9]*\.$1" "$SAVER_LOG" || true; }
# shot NAME: KWin's own picture of its screen (kept under $SHOTS when that is set); sets COLOURS
# and MEAN (0-1000), the scene having many colours and being far from black.
shot() {
  "${nobody[@]}" python3 "$(dirname "$0")/kwin_shot.py" "$WORK/wl-home/$1.png" || fail "no screenshot from KWin"
  mkdir -p "$shots" && cp "$WORK/wl-home/$1.png" "$shots/kwin-$1.png"
  local size
  read -r size COLOURS MEAN < <(convert "$WORK/wl-home/$1.png" -format '%wx%h %k %[fx:int(mean*1000)]\n' info:)
  [ "$size" = 800x600 ] || fail "KWin's screenshot is $size, not its 800x600 screen"
}

start_saver 1
# A Qt window (the settings dialog) opens over it: the keyboard goes to it and comes back.
bg "${nobody[@]}" QT_QPA_PLATFORM=wayland "$LARKSPILL" /c >"$WORK/dialog.out" 2>&1
DIALOG_PID=$!
window_took_keyboard() { [ "$(keyboard_times leave)" -ge 1 ]; }
keyboard_back() { [ "$(keyboard_times enter)" -eq "$(($(keyboard_times leave) + 1))" ]; }
wait_until 10 "the window taking the keyboard" window_took_keyboard
wait_until 2 "the keyboard back from the window" keyboard_back
runs_after 1
shot window-over-saver
[ "$COLOURS" -gt 1000 ] && [ "$MEAN" -gt 100 ] || fail "the window shows over the saver: $COLOURS colours, mean $MEAN"
hand key
ends_with 0 "a key after the window opened" 1
# The window was there all along, behind the saver: with the saver gone, KWin's bare black desktop
# shows around it (the scene reaches every corner).
shot window-after-saver
[ "$(pixel 790 590 "$WORK/wl-home/window-after-saver.png")" = "0 0 0" ] || fail "the screen still shows the scene after the saver ended"
kill "$DIALOG_PID"  # one Larkspill at a time: a saver started beside the dialog leaves at once

# KWin's own lock (what Plasma's idle lock and Meta+L ask for) takes the keyboard and pointer and keeps them.
start_saver 2
"${nobody[@]}" dbus-send --session --print-reply --dest=org.freedesktop.ScreenSaver /ScreenSaver org.freedesktop.ScreenSaver.Lock >"$WORK/lock.out" 2>&1 ||
  fail "KWin would not lock: $(cat "$WORK/lock.out")"
ends_with 0 "KWin's lock" 1
"${nobody[@]}" dbus-send --session --print-reply --dest=org.freedesktop.ScreenSaver /ScreenSaver org.freedesktop.ScreenSaver.GetActive |
  grep -q 'boolean true' || fail "KWin says its screen is not locked"
echo "kwin window: ok"
