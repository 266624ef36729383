#!/usr/bin/env bash
# Preview mode against a stand-in preview pane: the still inside the pane, unscaled at its
# top-left corner, never taking the focus, following the pane's size, and the program ending
# with the pane.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/stand_in_host.sh"
: "${LARKSPILL_ASSETS:?LARKSPILL_ASSETS must name the asset folder}"
PICTURE="$LARKSPILL_ASSETS/preview.bmp"
[ -f "$PICTURE" ] || fail "no preview picture at $PICTURE"
start_display 800x600x24

# The colour of one pixel of the preview picture as "r g b".
picture_pixel() {
  convert "$PICTURE" -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
    sed -n '2p' | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}

expect_picture_at_top_left() {
  local xy
  for xy in "0 0" "10 10" "76 57" "152 0" "0 114" "152 114" "120 30"; do
    set -- $xy
    [ "$(pixel "$1" "$2")" = "$(picture_pixel "$1" "$2")" ] ||
      fail "pane pixel $1,$2 is $(pixel "$1" "$2"), the picture has $(picture_pixel "$1" "$2")"
  done
}

# The window id straight after the switch, as the pane's owner may write it.
start_host 320 240 "Display Properties"
focus_before=$(xdotool getwindowfocus 2>/dev/null || echo none)
start_app "/p$HOST_DEC"
preview=$(wait_window Preview) || fail "no preview window; stderr: $(cat "$WORK/stderr")"
sleep 0.5
expect_running "$APP_PID"
[ "$(host_children)" = "$(printf '0x%x' "$preview")" ] || fail "the preview is not the pane's child"
eval "$(xdotool getwindowgeometry --shell "$preview")"
[ "$X" -eq 0 ] && [ "$Y" -eq 0 ] && [ "$WIDTH" -eq 320 ] && [ "$HEIGHT" -eq 240 ] ||
  fail "preview at ${X},${Y} ${WIDTH}x${HEIGHT}, not filling the 320x240 pane"
xprop -id "$preview" WM_HINTS | grep -q 'input focus: False' || fail "the preview asks for the focus"
[ "$(xdotool getwindowfocus 2>/dev/null || echo none)" = "$focus_before" ] || fail "the preview took the focus"
screenshot "$WORK/preview.png"
expect_picture_at_top_left
for xy in "153 0" "0 115" "153 115" "319 239"; do
  set -- $xy
  [ "$(pixel "$1" "$2")" = "0 0 0" ] || fail "beyond the picture at $1,$2: $(pixel "$1" "$2")"
done

# A smaller pane clips the picture; a larger one shows the background beyond it.
host_resize 100 80
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$preview")"
[ "$WIDTH" -eq 100 ] && [ "$HEIGHT" -eq 80 ] || fail "the preview did not follow the pane to 100x80"
[ "$(pixel 99 79)" = "$(picture_pixel 99 79)" ] || fail "clipped picture wrong at 99,79"
host_resize 400 300
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$preview")"
[ "$WIDTH" -eq 400 ] && [ "$HEIGHT" -eq 300 ] || fail "the preview did not follow the pane to 400x300"
expect_picture_at_top_left
[ "$(pixel 399 299)" = "0 0 0" ] || fail "the enlarged pane is not black beyond the picture"

# The pane's owner destroys the pane: the program ends at once, status 0, without an X error.
host_destroy
wait_exit "$APP_PID" 2
[ "$EXIT_STATUS" -eq 0 ] || fail "pane destroyed: status $EXIT_STATUS; stderr: $(cat "$WORK/stderr")"
expect_no_x_error

# The window id after a space, the switch in capitals; the pane's owner dies without cleaning up.
start_host 153 115 "Pane"
start_app /P "$HOST_DEC"
wait_window Preview >/dev/null || fail "no preview window for /P ID"
sleep 0.3
expect_picture_at_top_left
host_kill
wait_exit "$APP_PID" 2
[ "$EXIT_STATUS" -eq 0 ] || fail "pane's owner killed: status $EXIT_STATUS"
expect_no_x_error

# SIGTERM ends the preview and takes its window out of a pane that stays.
start_host 200 150 "Pane"
start_app "/p $HOST_DEC"
wait_window Preview >/dev/null || fail "no preview window for the signal test"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 1
[ "$EXIT_STATUS" -eq 143 ] || fail "SIGTERM: status $EXIT_STATUS"
[ -z "$(host_children)" ] || fail "the preview window stayed in the pane"
host_destroy

# Starts that cannot show a preview end at once with a reason, never an invisible window.
"$LARKSPILL" /p >"$WORK/out" 2>"$WORK/err" </dev/null && fail "/p without a number succeeded"
grep -q "window id" "$WORK/err" || fail "/p without a number: no reason given: $(cat "$WORK/err")"
set +e
timeout 5 "$LARKSPILL" /p 4242 >"$WORK/out" 2>"$WORK/err" </dev/null
status=$?
set -e
[ "$status" -eq 1 ] || fail "/p naming no window: status $status"
grep -q "4242" "$WORK/err" || fail "/p naming no window: the number is not named: $(cat "$WORK/err")"
expect_no_x_error "$WORK/err"
# A window that takes input but shows nothing cannot hold the picture.
start_host 100 100 "Pane" input-only
set +e
timeout 5 "$LARKSPILL" /p "$HOST_DEC" >"$WORK/out" 2>"$WORK/err" </dev/null
status=$?
set -e
[ "$status" -eq 1 ] || fail "/p naming an input-only window: status $status; $(cat "$WORK/err")"
grep -q "$HOST_DEC" "$WORK/err" || fail "/p naming an input-only window: not named: $(cat "$WORK/err")"
expect_no_x_error "$WORK/err"
host_destroy
echo "preview: ok"
