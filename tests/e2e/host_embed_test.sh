#!/usr/bin/env bash
# The saver inside a host's window named by XSCREENSAVER_WINDOW, as xscreensaver starts it:
# the moving scene letterboxed to the window, following its size, deaf to input, ended by
# SIGTERM.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/stand_in_host.sh"
start_display 800x600x24

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
echo "host embed: ok"
