#!/usr/bin/env bash
# Preview mode against a stand-in preview pane: the still inside the pane, unscaled at its
# top-left corner, never taking the focus, following the pane's size, and the program ending
# with the pane.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/stand_in_host.sh"
: "${LARKSPILL_ASSETS:?LARKSPILL_ASSETS must name the asset folder}"
PICTURE="$LARKSPILL_ASSETS/preview.bmp"
start_display 800x600x24

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
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 1
[ "$EXIT_STATUS" -eq 143 ] || fail "SIGTERM: status $EXIT_STATUS"
[ -z "$(host_children)" ] || fail "the preview window stayed in the pane"
host_destroy

# Starts that cannot show a preview end at once with a reason, never an invisible window.
for case in "/p:window id" "/p 4242:4242"; do
  timeout 5 "$LARKSPILL" ${case%%:*} >"$WORK/out" 2>"$WORK/err" </dev/null && status=0 || status=$?
  [ "$status" -eq 1 ] || fail "${case%%:*}: status $status"
  grep -q "${case#*:}" "$WORK/err" || fail "${case%%:*}: no reason given: $(cat "$WORK/err")"
  expect_no_x_error "$WORK/err"
done
echo "preview: ok"
