#!/usr/bin/env bash
# Real screen lockers always win over the saver: one started over it locks, the saver never runs under
# one, the X screen saver's idle clock keeps running, and the login manager's lock and sleep end it.
source "$(dirname "$0")/lib.sh"
start_display 800x600x24

# mostly COLOUR [PICTURE]: at least nine tenths of the screen is that colour (the locker's own screen).
mostly() {
  local shot=${2:-$WORK/shot.png}
  import -window root "$shot"
  [ "$(convert "$shot" -alpha off -fill white -opaque "$1" -fill black +opaque white -format '%[fx:int(mean*100)]' info:)" -ge 90 ]
}
i3lock_running() { kill -0 "$LOCKER" 2>/dev/null; }
start_i3lock() { bg i3lock -n -c 00ff00 2>"$WORK/locker.err"; LOCKER=$!; }
end_locker() { kill "$LOCKER" 2>/dev/null; wait "$LOCKER" 2>/dev/null || true; }
# ring_shown: i3lock's typing ring, neither its green nor black, in the middle of the screen.
ring_shown() {
  import -window root "$WORK/ring.png"
  [ "$(convert "$WORK/ring.png" -crop 300x300+250+150 +repage -alpha off -fill black -opaque '#00ff00' -fill white +opaque black -format '%[fx:round(mean*w*h)]' info:)" -gt 100 ]
}
silent() { ! [ -s "$SDL_DISKAUDIOFILE" ] || [ "$(od -An -v -tx1 "$SDL_DISKAUDIOFILE" | tr -d ' \n' | tr -d 0)" = "" ]; }

lockers_win() {
  local setup=$1
  # The saver on screen, then i3lock (as xss-lock starts it): it locks, the saver steps aside with 0,
  # and a key afterwards goes to the locker, which still holds the screen.
  start_shown /s
  wait_until 10 "$setup: the scene" expect_scene 0 0 800 600
  start_i3lock
  ends_with 0 "$setup: i3lock over the saver" 2
  until_ok 3 mostly '#00ff00' || fail "$setup: i3lock's screen is not shown: $(cat "$WORK/locker.err")"
  xdotool key space
  wait_until 5 "$setup: i3lock's ring after a key" ring_shown
  i3lock_running && mostly '#00ff00' || fail "$setup: i3lock did not hold the screen: $(cat "$WORK/locker.err")"

  # Under that lock the saver ends within a second, before any sound, and shows nothing.
  rm -f "$SDL_DISKAUDIOFILE"
  start_app /s
  ends_with 0 "$setup: the saver under i3lock" 1
  silent || fail "$setup: the saver played under the lock"
  mostly '#00ff00' || fail "$setup: the saver showed over the lock"
  end_locker

  # A locker that grabs the keyboard before it shows anything (xsecurelock, mate-screensaver): the
  # saver steps aside at the grab. One that shows its window first, before the grab: at the window.
  # A small override-redirect window (a notification) does not end it.
  start_shown /s
  wait_until 10 "$setup: the scene" expect_scene 0 0 800 600
  "$STAND_IN_HOST" --grab >/dev/null || fail "$setup: another program could not grab the keyboard and pointer"
  ends_with 0 "$setup: another program's grab" 1
  start_shown /s
  wait_until 10 "$setup: the scene" expect_scene 0 0 800 600
  start_host 400 300 Notification override
  runs_after 0.5
  host_destroy
  start_host 800 600 Locker override
  ends_with 0 "$setup: another program's full-screen window" 1
  host_destroy
}

lockers_win bare
HOME="$WORK" bg openbox --sm-disable >"$WORK/openbox.log" 2>&1
until_ok 20 eval "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'" ||
  fail "openbox did not start: $(cat "$WORK/openbox.log")"
lockers_win openbox

# The idle clock runs while the saver shows: the X screen saver turns on at its time-out (what
# xss-lock and light-locker lock on), and the saver steps aside for it.
xset s 3 0
start_shown /s
until_ok 8 eval '[ "$(xssstate -s)" = on ]' || fail "the X screen saver never turned on while the saver ran"
ends_with 0 "the X screen saver turning on" 2
xset s off

# The login manager (a stand-in on a private system bus) announces a lock of another session, or
# another client sends its signals: nothing;
# of ours, or the system going to sleep: the saver ends, before the locker xss-lock would start.
eval "$(dbus-launch --sh-syntax)" && PIDS+=("$DBUS_SESSION_BUS_PID") && own_bus "$DBUS_SESSION_BUS_ADDRESS"
export DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS
unset DBUS_SESSION_BUS_ADDRESS
bg /usr/bin/python3 "$(dirname "$0")/stand_in_logind.py" >"$WORK/logind"
LOGIND=$! && until_ok 5 test -s "$WORK/logind" || fail "the stand-in login manager did not start"
for announcement in "USR1 ours" "USR2 sleep"; do
  start_shown /s
  wait_until 10 "the saver asking the login manager for its session" grep -q "session asked by $APP_PID$" "$WORK/logind"
  kill -HUP "$LOGIND"  # a lock of another session
  runs_after 1
  # The same announcements from any other client on the bus than the login manager: nothing.
  dbus-send --bus="$DBUS_SYSTEM_BUS_ADDRESS" --type=signal /org/freedesktop/login1/session/_31 org.freedesktop.login1.Session.Lock
  dbus-send --bus="$DBUS_SYSTEM_BUS_ADDRESS" --type=signal /org/freedesktop/login1 org.freedesktop.login1.Manager.PrepareForSleep boolean:true
  runs_after 1
  kill -"${announcement% *}" "$LOGIND"
  ends_with 0 "the login manager's ${announcement#* } announcement" 1
done
kill "$LOGIND"; unset DBUS_SYSTEM_BUS_ADDRESS

# The xscreensaver daemon's own lock, asked for while the saver shows: it locks (its blank screen, then
# its password dialog after a key), and the saver has stepped aside.
if start_xscreensaver 'mode:\tblank' 'timeout:\t0:30:00' 'lock:\tTrue' 'lockTimeout:\t0:00:00'; then
  start_shown /s
  wait_until 10 "the scene under xscreensaver" expect_scene 0 0 800 600
  xscreensaver-command -lock >/dev/null || fail "xscreensaver-command -lock failed"
  ends_with 0 "xscreensaver's lock over the saver" 2
  until_ok 3 mostly black || fail "xscreensaver's blank screen is not shown"
  wait_until 10 "xscreensaver's password dialog" eval 'xdotool key space; ! mostly black'  # it takes no key in its first moments
  xdotool key space
  until_ok 5 eval "! mostly black" || fail "xscreensaver's password dialog is not shown"
  xscreensaver-command -time | grep -q 'screen locked' || fail "xscreensaver did not lock: $(xscreensaver-command -time)"
else
  echo "xscreensaver's lock not tried: no user namespace, and the build is out of an ordinary user's reach"
fi
# On two monitors a locker puts a window on each (i3lock and swaylock do): one over the second
# monitor alone is a lock as well.
kill "$XVFB_PID" 2>/dev/null || true
if start_two_monitor_display; then
  start_shown /s
  wait_until 10 "the scene on both monitors" eval 'expect_scene 0 0 800 600 && expect_scene 800 0 800 600'
  start_host 800 600 Locker override 800,0
  ends_with 0 "a locker's window over the second monitor" 2
  host_destroy
else
  echo "two monitors not tried: Xorg with the dummy driver cannot run here"
fi
echo "screen lockers: ok"
