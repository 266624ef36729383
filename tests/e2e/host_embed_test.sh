#!/usr/bin/env bash
# The saver inside a host's window named by XSCREENSAVER_WINDOW, as xscreensaver starts it:
# the moving scene letterboxed to the window, following its size, deaf to input, ended by
# SIGTERM; one soundscape however many it starts, none in a preview pane, no session bus left.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/stand_in_host.sh"
start_display 800x600x24
unset DBUS_SESSION_BUS_ADDRESS  # a display without a session bus, as startx gives

start_host 400 200 "Host"
export XSCREENSAVER_WINDOW="$HOST_HEX"
start_app -root
unset XSCREENSAVER_WINDOW
# 800 x 600 scaled by a third is 267 x 200, centred: black bars left and right.
wait_drawn 200 100
expect_running "$APP_PID"
[ -z "$(xdotool search --name 'Larkspill' 2>/dev/null)" ] || fail "the saver opened a window of its own"
[ -z "$(host_children)" ] || fail "the saver put a window into the host's"
for x in 5 60 340 395; do
  [ "$(pixel "$x" 100)" = "0 0 0" ] || fail "no letterbox bar at $x,100: $(pixel "$x" 100)"
done
wait_drawn 75 100 1
wait_drawn 325 100 1

# Moving: two pictures of the scene a second apart differ (the clock's corner left out).
for shot in one two; do
  sleep 1
  import -window root -crop 260x170+70+25 "$WORK/$shot.png"
done
changed=$(compare -metric AE "$WORK/one.png" "$WORK/two.png" null: 2>&1 || true)
[ "${changed%% *}" -gt 50 ] 2>/dev/null || fail "the scene is not moving ($changed pixels changed)"

# The host owns input: pointer, buttons and keys leave the saver running.
xdotool mousemove 100 50 sleep 0.1 mousemove 300 150 sleep 0.1 mousemove 50 20 sleep 0.1 mousemove 350 180
xdotool click 1 click 3
xdotool key --window "$HOST_HEX" space Escape Return 2>/dev/null
sleep 1
expect_running "$APP_PID"

# The host resizes its window: the scene follows, now with bars above and below.
host_resize 200 300
wait_drawn 100 150
for y in 5 70 230 295; do
  [ "$(pixel 100 "$y")" = "0 0 0" ] || fail "no letterbox bar at 100,$y after the resize: $(pixel 100 "$y")"
done

# Down to a single pixel, too small for any of the scene: black, and the scene again once the
# window has room for it.
host_resize 1 1
sleep 0.5
expect_running "$APP_PID"
[ "$(pixel 0 0)" = "0 0 0" ] || fail "a 1 x 1 window shows $(pixel 0 0)"
host_resize 400 200
wait_drawn 200 100

# SIGTERM, the way the host ends a saver: gone within a second; the host's window stays.
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 1
[ "$EXIT_STATUS" -eq 143 ] || fail "SIGTERM: status $EXIT_STATUS; stderr: $(cat "$WORK/stderr")"
expect_no_x_error
xwininfo -id "$HOST_HEX" >/dev/null 2>&1 || fail "the host's window went with the saver"
host_destroy

# A value in XSCREENSAVER_WINDOW that is no window id is refused with the value named.
XSCREENSAVER_WINDOW=window7 timeout 5 "$LARKSPILL" -root >"$WORK/out" 2>"$WORK/err" </dev/null && status=0 || status=$?
[ "$status" -eq 1 ] || fail "XSCREENSAVER_WINDOW=window7: status $status"
grep -q window7 "$WORK/err" || fail "XSCREENSAVER_WINDOW=window7 not named: $(cat "$WORK/err")"

# has_sound FILE: the disk audio driver's output exists and holds something other than silence.
has_sound() { [ -s "$1" ] && [ "$(head -c 2000000 "$1" | tr -d '\0' | head -c 1 | wc -c)" -eq 1 ]; }
# start_hosted NAME WIDTH HEIGHT: a saver in a host window of its own, its sound to NAME.raw.
start_hosted() {
  start_host "$2" "$3" "$1"
  SDL_DISKAUDIOFILE="$WORK/$1.raw" start_app --window-id "$HOST_HEX"
}

# A preview pane (a quarter of the screen or less): the scene, and no sound device opened.
start_hosted preview 160 120
wait_drawn 80 60
sleep 1.5
[ ! -e "$WORK/preview.raw" ] || fail "a preview pane opened a sound device"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 1

# Two savers as a host starts them on two monitors, each window as large as its monitor:
# exactly one plays.
start_hosted left 800 600
left_app=$APP_PID
start_hosted right 800 600
right_app=$APP_PID
for i in $(seq 1 100); do
  has_sound "$WORK/left.raw" || has_sound "$WORK/right.raw" && break
  sleep 0.1
done
sleep 1.5
playing=; silent=
if has_sound "$WORK/left.raw"; then playing=left; silent=right; else playing=right; silent=left; fi
has_sound "$WORK/$playing.raw" || fail "neither saver plays"
[ ! -e "$WORK/$silent.raw" ] || fail "both savers opened a sound device"
# The one playing ends: the other takes the sound over (within a second, give or take the
# loading of its sounds on a busy machine), and a saver
# started now stays silent, so the sound never comes back twice.
[ "$playing" = left ] && kill -TERM "$left_app" || kill -TERM "$right_app"
[ "$playing" = left ] && wait_exit "$left_app" 1 || wait_exit "$right_app" 1
for i in $(seq 1 100); do
  has_sound "$WORK/$silent.raw" && break
  sleep 0.1
done
has_sound "$WORK/$silent.raw" || fail "the sound was not taken over when the saver playing it ended"
start_hosted third 800 600
wait_drawn 200 300
sleep 1.5
[ ! -e "$WORK/third.raw" ] || fail "a third saver opened a sound device while another plays"

# Nothing of the savers outlives them: no session bus started for them on this display.
kill -TERM "${PIDS[@]}" 2>/dev/null || true
sleep 1
expect_no_session_bus
echo "host embed: ok"
