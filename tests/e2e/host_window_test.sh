#!/usr/bin/env bash
# The saver in a window a host gives it, driven by a stand-in host window: named by
# --window-id, -window-id or XSCREENSAVER_WINDOW, or the root window with -root; the preview
# still in a preview pane. The host resizing, destroying or losing its window; input, sound and
# signals as a host sees them. (The real hosts: xscreensaver_test, mate_screensaver_test.)
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/stand_in_host.sh"
: "${LARKSPILL_ASSETS:?LARKSPILL_ASSETS must name the asset folder}"
PICTURE="$LARKSPILL_ASSETS/preview.bmp"
start_display 800x600x24

# --window-id 0x...: the scene fills a 4:3 window; the host destroys it: status 0, no X error.
start_host 320 240 "Host"
start_app --window-id "$HOST_HEX"
wait_drawn 160 120
host_destroy
wait_exit "$APP_PID" 2
[ "$EXIT_STATUS" -eq 0 ] || fail "window destroyed: status $EXIT_STATUS; stderr: $(cat "$WORK/stderr")"
expect_no_x_error

# -window-id in decimal; the host dies without cleaning up and the X server takes its window.
start_host 400 300 "Host"
start_app -window-id "$HOST_DEC"
wait_drawn 200 150
host_kill
wait_exit "$APP_PID" 2
[ "$EXIT_STATUS" -eq 0 ] || fail "host killed: status $EXIT_STATUS; stderr: $(cat "$WORK/stderr")"
expect_no_x_error

# -root with no window from the host: the root window, the whole screen.
start_app -root
wait_drawn 400 300
[ -z "$(xdotool search --name 'Larkspill' 2>/dev/null)" ] || fail "-root opened a window of its own"
term_ends "-root SIGTERM" 1
expect_no_x_error

# Starts that cannot show anything end at once with status 1, the value or the reason named,
# never with an invisible window: [environment]|arguments|what the error names.
for case in "|--window-id 0x7ffff1|0x7ffff1" "|--window-id 0x12zz|0x12zz" "|/p|window id" \
  "|/p 4242|4242" "XSCREENSAVER_WINDOW=window7|-root|window7"; do
  IFS='|' read -r envs args reason <<<"$case"
  env $envs timeout 5 "$LARKSPILL" $args >"$WORK/out" 2>"$WORK/err" </dev/null && status=0 || status=$?
  [ "$status" -eq 1 ] || fail "$case: status $status; stderr: $(cat "$WORK/err")"
  grep -q -- "$reason" "$WORK/err" || fail "$case: not named: $(cat "$WORK/err")"
  expect_no_x_error "$WORK/err"
done

# Screen pixels against the preview picture's at the same places: "x y" arguments.
expect_picture_at() {
  local xy want
  for xy in "$@"; do
    set -- $xy
    want=$(pixel "$1" "$2" "$PICTURE")
    [ "$(pixel "$1" "$2")" = "$want" ] || fail "pane pixel $1,$2 is $(pixel "$1" "$2"), the picture has $want"
  done
}
corners=("0 0" "76 57" "152 0" "0 114" "152 114" "120 30")

# The window id straight after the switch, as the pane's owner may write it.
start_host 320 240 "Display Properties"
focus_before=$(xdotool getwindowfocus 2>/dev/null || echo none)
start_app "/p$HOST_DEC"
preview=$(wait_window Preview) || fail "no preview window; stderr: $(cat "$WORK/stderr")"
sleep 0.5
[ "$(host_children)" = "$(printf '0x%x' "$preview")" ] || fail "the preview is not the pane's child"
eval "$(xdotool getwindowgeometry --shell "$preview")"
[ "$X$Y $WIDTH $HEIGHT" = "00 320 240" ] || fail "preview at ${X},${Y} ${WIDTH}x${HEIGHT}, not filling the pane"
xprop -id "$preview" WM_HINTS | grep -q 'input focus: False' || fail "the preview asks for the focus"
[ "$(xdotool getwindowfocus 2>/dev/null || echo none)" = "$focus_before" ] || fail "the preview took the focus"
expect_picture_at "${corners[@]}"
for xy in "153 0" "0 115" "319 239"; do
  [ "$(pixel $xy)" = "0 0 0" ] || fail "beyond the picture at $xy: $(pixel $xy)"
done

# A smaller pane clips the picture; a larger one shows black beyond it.
host_resize 100 80
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$preview")"
[ "$WIDTH $HEIGHT" = "100 80" ] || fail "the preview did not follow the pane to 100x80"
expect_picture_at "99 79"
host_resize 400 300
sleep 0.3
expect_picture_at "${corners[@]}"
[ "$(pixel 399 299)" = "0 0 0" ] || fail "the enlarged pane is not black beyond the picture"

# The pane's owner destroys the pane: the program ends at once, status 0, without an X error.
host_destroy
wait_exit "$APP_PID" 2
[ "$EXIT_STATUS" -eq 0 ] || fail "pane destroyed: status $EXIT_STATUS; stderr: $(cat "$WORK/stderr")"
expect_no_x_error

# SIGTERM ends the preview and takes its window out of a pane that stays.
start_host 200 150 "Pane"
start_app /P "$HOST_DEC"
wait_window Preview >/dev/null || fail "no preview window for /P ID"
term_ends "/P ID" 1
[ -z "$(host_children)" ] || fail "the preview window stayed in the pane"
host_destroy

# XSCREENSAVER_WINDOW: the scene letterboxed in the host's window, moving, deaf to input.
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
term_ends "XSCREENSAVER_WINDOW" 1
expect_no_x_error
xwininfo -id "$HOST_HEX" >/dev/null 2>&1 || fail "the host's window went with the saver"
host_destroy

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
term_ends "preview pane" 1

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


echo "host window: ok"
