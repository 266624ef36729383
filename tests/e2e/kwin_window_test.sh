#!/usr/bin/env bash
# The saver on KWin (kwin_wayland --virtual, as nobody): a window that opens over it takes the
# keyboard, as KWin gives every new window the keyboard; the saver asks for it back and stays,
# where it used to take the lost keyboard for a locker and end. Skipped without kwin_wayland.
source "$(dirname "$0")/lib.sh"
command -v kwin_wayland >/dev/null || { echo "SKIPPED: no kwin_wayland"; exit 77; }
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
bg "${nobody[@]}" "$WORK/kwin_wayland" --virtual --width 800 --height 600 --socket wayland-kwin --no-lockscreen >"$WORK/kwin.log" 2>&1
until_ok 20 test -S "$WORK/wl-run/wayland-kwin" || fail "KWin did not start: $(tail -5 "$WORK/kwin.log")"
nobody+=(WAYLAND_DISPLAY=wayland-kwin)

bg "${nobody[@]}" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/wl-home/audio.raw" WAYLAND_DEBUG=1 "$LARKSPILL" /s >"$WORK/stdout" 2>"$WORK/stderr"
APP_PID=$!
until_ok 10 test -s "$WORK/wl-home/audio.raw" || fail "the saver did not start on KWin: $(grep larkspill "$WORK/stderr")"
grep -q 'wl_keyboard@[0-9]*\.enter' "$WORK/stderr" || fail "the saver never had the keyboard on KWin"
# A Qt window (the settings dialog) opens over it: the keyboard goes to it and comes back.
bg "${nobody[@]}" QT_QPA_PLATFORM=wayland "$LARKSPILL" /c >"$WORK/dialog.out" 2>&1
runs_after 3
[ "$(grep -c 'wl_keyboard@[0-9]*\.leave' "$WORK/stderr")" -ge 1 ] || echo "note: KWin did not give the window the keyboard"
[ "$(grep -c 'wl_keyboard@[0-9]*\.enter' "$WORK/stderr")" -eq "$(($(grep -c 'wl_keyboard@[0-9]*\.leave' "$WORK/stderr") + 1))" ] ||
  fail "the saver did not get the keyboard back from the window"
term_ends "SIGTERM on KWin"
echo "kwin window: ok"
