#!/usr/bin/env bash
# The saver's life from outside: first run, full screen, what the user does to end it, a second
# start. (Signals and failures: end_paths_test.)
source "$(dirname "$0")/lib.sh"
start_display 800x600x24

# A fresh settings folder: the first start writes every first-run value and covers the screen.
start_app /s
win=$(wait_window "Larkspill -  Get DirectX") || fail "no saver window; stderr: $(cat "$WORK/stderr")"
sleep 1
expect_running "$APP_PID"
[ "$(setting System SetReg)" = 2 ] || fail "first-run marker missing"
[ "$(setting two VolumeJungle)" = -1492 ] || fail "VolumeJungle not written"
[ "$(setting two Message)" = "Place a Message Here" ] || fail "Message not written"
[ "$(grep -c '=' "$SETTINGS")" -eq 35 ] || fail "expected 35 settings, got $(grep -c '=' "$SETTINGS")"
eval "$(xdotool getwindowgeometry --shell "$win")"
[ "$WIDTH" -eq 800 ] && [ "$HEIGHT" -eq 600 ] || fail "window is ${WIDTH}x${HEIGHT}, not the screen"

# A second /s while it runs ends at once, silently.
"$LARKSPILL" /s 2>"$WORK/second.err" &
wait_exit $! 2
[ "$EXIT_STATUS" -eq 0 ] || fail "second start ended with $EXIT_STATUS"
expect_running "$APP_PID"

# A button ends it within a second. (Keys and the wheel: holds_screen_test.)
xdotool click 1
wait_exit "$APP_PID" 1
[ "$EXIT_STATUS" -eq 0 ] || fail "button: status $EXIT_STATUS"

# With the first-run sensitivity of 4, three pointer moves leave it running; the fourth ends it.
start_app /s
win=$(wait_window "Larkspill -  Get DirectX") || fail "no window for the pointer test"
sleep 1
for x in 100 200 300; do
  xdotool mousemove "$x" 100
  sleep 0.2
done
expect_running "$APP_PID"
xdotool mousemove 400 100
wait_exit "$APP_PID" 1
[ "$EXIT_STATUS" -eq 0 ] || fail "pointer: status $EXIT_STATUS"

# The settings dialog opens from its module, at its fixed size. A second /c, with another window
# over the dialog, brings the dialog to the front and ends: one dialog, in front. A signal ends it.
start_app /c
win=$(wait_window "Larkspill Control Box  Freeware for personal use") || fail "/c: no dialog: $(cat "$WORK/stderr")"
eval "$(xdotool getwindowgeometry --shell "$win")"
[ "$WIDTH" -eq 594 ] && [ "$HEIGHT" -eq 406 ] || fail "/c: the dialog is ${WIDTH}x${HEIGHT}"
# The viewable top-level window highest in the stacking order (xwininfo lists the top first).
topmost() {
  local id
  for id in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
    xwininfo -id "$id" | grep -q "Map State: IsViewable" && { printf '%d\n' "$id"; return; }
  done
}
xmessage -geometry 700x500+0+0 "over the dialog" 2>/dev/null &
PIDS+=($!)
for i in $(seq 1 50); do [ "$(topmost)" != "$win" ] && break; sleep 0.1; done
[ "$(topmost)" != "$win" ] || fail "/c: no window came over the dialog"
"$LARKSPILL" /c 2>"$WORK/second.err" &
PIDS+=($!)
wait_exit $! 5
[ "$EXIT_STATUS" -eq 0 ] || fail "second /c ended with $EXIT_STATUS: $(cat "$WORK/second.err")"
for i in $(seq 1 20); do [ "$(topmost)" = "$win" ] && break; sleep 0.1; done
[ "$(topmost)" = "$win" ] || fail "second /c: the dialog is not in front"
dialogs=$(xdotool search --onlyvisible --name "^Larkspill Control Box" | wc -l)
[ "$dialogs" -eq 1 ] || fail "second /c: $dialogs dialogs"
expect_running "$APP_PID"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 2
echo "saver lifecycle: ok"
