#!/usr/bin/env bash
# The saver in a host's window (--window-id, -window-id, XSCREENSAVER_WINDOW, -root, /p): resized, lost.
source "$(dirname "$0")/lib.sh"
PICTURE="$LARKSPILL_ASSETS/preview.bmp"
start_display 800x600x24

# The host destroys its 4:3 window, or dies and the X server takes it: status 0, no X error.
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

# A host that destroys its window at any moment of the saver's start: a normal end (1 when it was
# gone before the saver looked), never a box waiting for a click.
for ms in $(seq 0 7 140); do
  start_host 800 600 "Host"
  start_app --window-id "$HOST_HEX"
  sleep "$(printf '0.%03d' "$ms")"
  host_destroy
  wait_exit "$APP_PID" 5
  [ "$EXIT_STATUS" -le 1 ] || fail "host window gone after $ms ms: status $EXIT_STATUS; $(err)"
  ! grep -q 'Direct Draw' <<<"$(xwininfo -root -children)" || fail "a message box after $ms ms"
done

# -root with no window from the host: the root window, the whole screen.
start_app -root
wait_drawn 400 300
no_window_of_its_own() { [ -z "$(xdotool search --name 'Larkspill' 2>/dev/null)" ] || fail "$1 opened a window of its own"; }
no_window_of_its_own -root
term_ends "-root" 1
expect_no_x_error

# Starts that cannot show anything: status 1 at once, naming it. [environment]|arguments|named
for case in "|--window-id 0x7ffff1|0x7ffff1" "|--window-id 0x12zz|0x12zz" "|/p|window id" \
  "|/p 4242|4242" "XSCREENSAVER_WINDOW=window7|-root|window7"; do
  IFS='|' read -r envs args reason <<<"$case"
  env $envs timeout 5 "$LARKSPILL" $args 2>"$WORK/err" </dev/null && status=0 || status=$?
  [ "$status" -eq 1 ] && grep -q -- "$reason" "$WORK/err" || fail "$case: status $status: $(cat "$WORK/err")"
  expect_no_x_error "$WORK/err"
done

start_host 320 240 "Host" input-only
start_app --window-id "$HOST_HEX"
ends_with 1 "an input-only host window"
grep -q "input-only" "$WORK/stderr" || fail "an input-only host window is not named: $(err)"
host_destroy

# A host window far larger than the screen: only the part on the screen is sent (each frame at most
# the screen's pixels), and a part that comes into sight shows the scene.
start_host 16000 16000 "Host"
LARKSPILL_TRACE=1 start_app --window-id "$HOST_HEX"
wait_drawn 400 300
xdotool windowmove "$HOST_HEX" -7600 -7700
wait_drawn 400 300 5
expect_scene 200 150 400 300
term_ends "a huge host window"
read -r frames sent < <(awk '/trace frames/ { f = $3 } /pixels_presented/ { p = $3 } END { print f, p }' "$WORK/stderr") || true
[ -n "${sent:-}" ] && [ "$sent" -le $((frames * 800 * 600)) ] || fail "a huge host window: ${sent:-no} pixels sent in ${frames:-no} frames: $(err)"
host_destroy

# The preview (/pID): a child filling the pane, never focused, its picture clipped or black beyond.
picture_at() { local xy; for xy in "$@"; do [ "$(pixel $xy)" = "$(pixel $xy "$PICTURE")" ] || fail "pane pixel $xy is not the picture's"; done; }
corners=("0 0" "76 57" "152 0" "0 114" "152 114" "120 30")
start_host 320 240 "Display Properties"
focus_before=$(xdotool getwindowfocus 2>/dev/null || echo none)
start_shown "/p$HOST_DEC" Preview
wait_until 10 "the preview's picture" picture_at "${corners[@]}"
[ "$(host_children)" = "$(printf '0x%x' "$WIN")" ] || fail "the preview is not the pane's child"
geometry_is "$WIN" "0,0 320x240"
xprop -id "$WIN" WM_HINTS | grep -q 'input focus: False' || fail "the preview asks for the focus"
[ "$(xdotool getwindowfocus 2>/dev/null || echo none)" = "$focus_before" ] || fail "the preview took the focus"
picture_at "${corners[@]}"
black "153 0" "0 115" "319 239"
host_resize 100 80
wait_until 5 "the preview at 100x80" geometry_is "$WIN" "0,0 100x80"
wait_until 5 "the picture at 100x80" picture_at "99 79"
host_resize 400 300
wait_until 5 "the picture at 400x300" picture_at "${corners[@]}"
black "399 299"
# SIGTERM ends the preview, its window out of the pane; the pane destroyed ends /P ID with 0.
term_ends "/p$HOST_DEC" 1
[ -z "$(host_children)" ] || fail "the preview window stayed in the pane"
start_app /P "$HOST_DEC"
wait_window Preview >/dev/null || fail "no preview window for /P ID"
host_destroy
ends_with 0 "pane destroyed"
expect_no_x_error

# XSCREENSAVER_WINDOW: a 2:1 window filled with the wide forest, moving, deaf to input; a pane, so
# silent.
start_host 400 200 "Host"
rm -f "$SDL_DISKAUDIOFILE"
XSCREENSAVER_WINDOW="$HOST_HEX" start_app -root
wait_drawn 200 100
no_window_of_its_own XSCREENSAVER_WINDOW
[ -z "$(host_children)" ] || fail "the saver put a window into the host's"
for xy in "5 100" "395 100" "5 190" "395 10"; do wait_drawn $xy 1; done
# Two pictures a moment apart differ (the clock left out); pointer, buttons and keys leave it running.
import -window root -crop 260x170+70+25 "$WORK/one.png"
scene_moved() { local n; n=$(import -window root -crop 260x170+70+25 png:- | compare -metric AE "$WORK/one.png" - null: 2>&1 || true); [ "${n%% *}" -gt 50 ]; }
wait_until 5 "a change in the scene" scene_moved
changed=$(import -window root -crop 260x170+70+25 png:- | compare -metric AE "$WORK/one.png" - null: 2>&1 || true)
[ "${changed%% *}" -gt 50 ] 2>/dev/null || fail "the scene is not moving ($changed pixels changed)"
for xy in "100 50" "300 150" "50 20" "350 180"; do xdotool mousemove $xy; done
xdotool click 1 click 3
xdotool key --window "$HOST_HEX" space Escape Return 2>/dev/null
runs_after 1
# It follows the host's window: bars above and below; black at 1 x 1; the scene again once there is room.
host_resize 200 300
wait_drawn 100 150
wait_until 5 "bars above and below" black "100 5" "100 70" "100 230" "100 295"
host_resize 1 1
runs_after 0.5
wait_until 5 "black at 1 x 1" black "0 0"
host_resize 400 200
wait_drawn 200 100
term_ends "XSCREENSAVER_WINDOW" 1
expect_no_x_error
[ ! -e "$SDL_DISKAUDIOFILE" ] || fail "a preview pane opened a sound device"
xwininfo -id "$HOST_HEX" >/dev/null 2>&1 || fail "the host's window went with the saver"
host_destroy

# plays NAME: NAME.raw holds sound; start_hosted NAME W H: a saver (pid in $NAME) in a host, sound to NAME.raw.
plays() { [ -s "$WORK/$1.raw" ] && [ -n "$(head -c 2000000 "$WORK/$1.raw" | tr -d '\0' | head -c 1)" ]; }
start_hosted() { start_host "$2" "$3" "$1"; SDL_DISKAUDIOFILE="$WORK/$1.raw" start_app --window-id "$HOST_HEX"; printf -v "$1" %s "$APP_PID"; }
# Two savers in monitor-sized windows: one plays; when it ends the other takes over; a third stays silent.
start_hosted left 800 600
start_hosted right 800 600
until_ok 10 eval 'plays left || plays right' || fail "neither saver plays"
# tried_sound PID: that saver has asked for the sound (the lock file held open, taken or not).
tried_sound() { ls -l "/proc/$1/fd" 2>/dev/null | grep -q larkspill-sound.lock; }
wait_until 10 "both savers asking for the sound" eval 'tried_sound $left && tried_sound $right'
if plays left; then off=right; APP_PID=$left; else off=left; APP_PID=$right; fi
[ ! -e "$WORK/$off.raw" ] || fail "both savers opened a sound device"
term_ends "the saver playing" 1
until_ok 10 plays $off || fail "the sound was not taken over when the saver playing it ended"
start_hosted third 800 600
wait_drawn 200 300
wait_until 10 "the third saver asking for the sound" tried_sound "$third"
[ ! -e "$WORK/third.raw" ] || fail "a third saver opened a sound device while another plays"
# The clock and the message in a host window wider than 21:9 (bars at the sides), then narrower than
# the frame (bars above and below): drawn sharp at their scene places, upper left and along the
# bottom, inside the shown frame (no creatures, whose orange would pass for the texts' yellow). yellow_box X Y W H: where the texts' yellow lies in that part of
# the window ("W H X Y" of the box holding it, nothing when there is none).
yellow_box() {
  import -window "$HOST_HEX" -crop "$3x$4+$1+$2" +repage png:- |
    convert - -fx '(r>0.6 && g>0.6 && b<0.45) ? 1 : 0' -bordercolor black -border 1 -trim \
      -format '%w %h %X %Y' info: 2>/dev/null | awk -v x="$1" -v y="$2" '$1 > 1 { print $1, $2, $3 - 1 + x, $4 - 1 + y }'
}
# text_at WHAT BOX LEFT TOP RIGHT BOTTOM: the box ("W H X Y") lies within those window pixels.
text_at() {
  read -r w h x y <<<"$2"
  [ -n "${w:-}" ] && [ "$x" -ge "$3" ] && [ "$y" -ge "$4" ] && [ $((x + w)) -le "$5" ] && [ $((y + h)) -le "$6" ] ||
    fail "$1 at \"${2:-nowhere}\" (w h x y), not within $3,$4 to $5,$6"
}
printf '%s\n' "[System]" SetReg=2 "[one]" Clock=1 FontSize=48 Birds=0 SingleBird=0 Butter1=0 Butter2=0 "[two]" PosClock=1 ShowMessage=1 Message=WWWWWWWWWW \
  FontSizeMsg=48 | write_settings
start_host 1000 300 "Host"
start_app --window-id "$HOST_HEX"
wait_drawn 500 150
# At 1000x300 the 21:9 frame is 720 wide from x 140, the scene's 800 x 600 at half size from x 300.
wait_until 5 "the clock" eval '[ -n "$(yellow_box 140 0 720 40)" ]'
import -window "$HOST_HEX" "$shots/pillarbox.png"
text_at "1000x300: the clock" "$(yellow_box 0 0 1000 40)" 298 0 400 30
text_at "1000x300: the message" "$(yellow_box 0 270 1000 30)" 298 275 540 300
# At 300x400 the same frame is 300 x 125 from y 137; the scene's 800 x 600 is 167 x 125 from x 67.
host_resize 300 400
wait_until 5 "bars above and below" black "150 5" "150 130" "150 265" "150 395"
wait_until 5 "the clock at 300x400" eval '[ -n "$(yellow_box 0 137 300 20)" ]'
import -window "$HOST_HEX" "$shots/letterbox.png"
text_at "300x400: the clock" "$(yellow_box 0 0 300 200)" 64 137 112 152
text_at "300x400: the message" "$(yellow_box 0 200 300 200)" 64 250 160 263
term_ends "the clock and the message in a pillarboxed window" 1
host_destroy
rm "$SETTINGS"
echo "host window: ok"
