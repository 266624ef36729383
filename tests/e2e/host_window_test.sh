#!/usr/bin/env bash
# The saver in a window a host gives it, driven by a stand-in host window: named by
# --window-id, -window-id or XSCREENSAVER_WINDOW, or the root window with -root; the preview
# still in a preview pane. The host resizing, destroying or losing its window; input, sound and
# signals as a host sees them. (The real hosts: xscreensaver_test, mate_screensaver_test.)
source "$(dirname "$0")/lib.sh"
PICTURE="$LARKSPILL_ASSETS/preview.bmp"
start_display 800x600x24

# The scene fills a 4:3 window named in hex or decimal; the host destroys it, or dies and the X
# server takes it: status 0, no X error.
for case in "--window-id HEX destroy" "-window-id DEC kill"; do
  set -- $case
  start_host 320 240 "Host"
  id=HOST_$2
  start_app "$1" "${!id}"
  wait_drawn 160 120
  host_"$3"
  ends_with 0 "$case"
  expect_no_x_error
done

# -root with no window from the host: the root window, the whole screen.
start_app -root
wait_drawn 400 300
[ -z "$(xdotool search --name 'Larkspill' 2>/dev/null)" ] || fail "-root opened a window of its own"
term_ends "-root" 1
expect_no_x_error

# Starts that cannot show anything end at once with status 1, the value or the reason named,
# never with an invisible window: [environment]|arguments|what the error names.
for case in "|--window-id 0x7ffff1|0x7ffff1" "|--window-id 0x12zz|0x12zz" "|/p|window id" \
  "|/p 4242|4242" "XSCREENSAVER_WINDOW=window7|-root|window7"; do
  IFS='|' read -r envs args reason <<<"$case"
  env $envs timeout 5 "$LARKSPILL" $args 2>"$WORK/err" </dev/null && status=0 || status=$?
  [ "$status" -eq 1 ] && grep -q -- "$reason" "$WORK/err" || fail "$case: status $status: $(cat "$WORK/err")"
  expect_no_x_error "$WORK/err"
done

# The preview, its window id straight after the switch: a child of the pane filling it, never
# taking the focus, the preview picture at its corners and black beyond it.
picture_at() {
  local xy
  for xy in "$@"; do
    [ "$(pixel $xy)" = "$(pixel $xy "$PICTURE")" ] || fail "pane pixel $xy is $(pixel $xy), not the picture's"
  done
}
corners=("0 0" "76 57" "152 0" "0 114" "152 114" "120 30")
start_host 320 240 "Display Properties"
focus_before=$(xdotool getwindowfocus 2>/dev/null || echo none)
start_app "/p$HOST_DEC"
preview=$(wait_window Preview) || fail "no preview window; stderr: $(err)"
sleep 0.5
[ "$(host_children)" = "$(printf '0x%x' "$preview")" ] || fail "the preview is not the pane's child"
eval "$(xdotool getwindowgeometry --shell "$preview")"
[ "$X$Y $WIDTH $HEIGHT" = "00 320 240" ] || fail "preview at ${X},${Y} ${WIDTH}x${HEIGHT}, not filling the pane"
xprop -id "$preview" WM_HINTS | grep -q 'input focus: False' || fail "the preview asks for the focus"
[ "$(xdotool getwindowfocus 2>/dev/null || echo none)" = "$focus_before" ] || fail "the preview took the focus"
picture_at "${corners[@]}"
black "153 0" "0 115" "319 239"
# A smaller pane clips the picture; a larger one shows black beyond it.
host_resize 100 80
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$preview")"
[ "$WIDTH $HEIGHT" = "100 80" ] || fail "the preview did not follow the pane to 100x80"
picture_at "99 79"
host_resize 400 300
sleep 0.3
picture_at "${corners[@]}"
black "399 299"
# The pane's owner destroys the pane: the program ends at once, status 0, without an X error.
host_destroy
ends_with 0 "pane destroyed"
expect_no_x_error
# SIGTERM ends the preview and takes its window out of a pane that stays.
start_host 200 150 "Pane"
start_app /P "$HOST_DEC"
wait_window Preview >/dev/null || fail "no preview window for /P ID"
term_ends "/P ID" 1
[ -z "$(host_children)" ] || fail "the preview window stayed in the pane"
host_destroy

# XSCREENSAVER_WINDOW: the scene letterboxed in the host's window (800 x 600 scaled by a third
# is 267 x 200, centred: bars left and right), with no window of its own, moving, deaf to input.
start_host 400 200 "Host"
XSCREENSAVER_WINDOW="$HOST_HEX" start_app -root
wait_drawn 200 100
[ -z "$(xdotool search --name 'Larkspill' 2>/dev/null)" ] && [ -z "$(host_children)" ] ||
  fail "the saver opened a window of its own"
black "5 100" "60 100" "340 100" "395 100"
wait_drawn 75 100 1
wait_drawn 325 100 1
# Two pictures of the scene a second apart differ (the clock's corner left out).
for shot in one two; do
  sleep 1
  import -window root -crop 260x170+70+25 "$WORK/$shot.png"
done
changed=$(compare -metric AE "$WORK/one.png" "$WORK/two.png" null: 2>&1 || true)
[ "${changed%% *}" -gt 50 ] 2>/dev/null || fail "the scene is not moving ($changed pixels changed)"
xdotool mousemove 100 50 sleep 0.1 mousemove 300 150 sleep 0.1 mousemove 50 20 sleep 0.1 mousemove 350 180
xdotool click 1 click 3
xdotool key --window "$HOST_HEX" space Escape Return 2>/dev/null
sleep 1
expect_running
# The host resizes its window: the scene follows, now with bars above and below; down to a
# single pixel, too small for any of the scene: black, and the scene again once there is room.
host_resize 200 300
wait_drawn 100 150
black "100 5" "100 70" "100 230" "100 295"
host_resize 1 1
sleep 0.5
expect_running
black "0 0"
host_resize 400 200
wait_drawn 200 100
# SIGTERM, the way the host ends a saver: gone within a second; the host's window stays.
term_ends "XSCREENSAVER_WINDOW" 1
expect_no_x_error
xwininfo -id "$HOST_HEX" >/dev/null 2>&1 || fail "the host's window went with the saver"
host_destroy

# Sound, through the disk driver: plays NAME says whether NAME.raw holds other than silence.
plays() { [ -s "$WORK/$1.raw" ] && [ -n "$(head -c 2000000 "$WORK/$1.raw" | tr -d '\0' | head -c 1)" ]; }
# start_hosted NAME WIDTH HEIGHT: a saver in a host window of its own, its sound to NAME.raw.
start_hosted() { start_host "$2" "$3" "$1"; SDL_DISKAUDIOFILE="$WORK/$1.raw" start_app --window-id "$HOST_HEX"; }
# A preview pane (a quarter of the screen or less): the scene, and no sound device opened.
start_hosted preview 160 120
wait_drawn 80 60
sleep 1.5
[ ! -e "$WORK/preview.raw" ] || fail "a preview pane opened a sound device"
term_ends "preview pane" 1
# Two savers as a host starts them on two monitors, each window as large as its monitor: exactly
# one plays. When it ends, the other takes the sound over (within a second, give or take the
# loading of its sounds on a busy machine), and a saver started now stays silent.
start_hosted left 800 600
left=$APP_PID
start_hosted right 800 600
right=$APP_PID
until_ok 10 eval 'plays left || plays right' || fail "neither saver plays"
sleep 1.5
if plays left; then on=left; off=right; APP_PID=$left; else on=right; off=left; APP_PID=$right; fi
[ ! -e "$WORK/$off.raw" ] || fail "both savers opened a sound device"
term_ends "the saver playing" 1
until_ok 10 plays $off || fail "the sound was not taken over when the saver playing it ended"
start_hosted third 800 600
wait_drawn 200 300
sleep 1.5
[ ! -e "$WORK/third.raw" ] || fail "a third saver opened a sound device while another plays"
echo "host window: ok"
