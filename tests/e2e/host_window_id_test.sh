#!/usr/bin/env bash
# The saver in a window named by --window-id / -window-id, and on the root window with -root;
# the host destroying its window ends the saver cleanly. (host_embed_test sees the scene move.)
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/stand_in_host.sh"
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

# A window id that names no window, or is no id at all: refused at once, the value named.
for id in 0x7ffff1 0x12zz; do
  timeout 5 "$LARKSPILL" --window-id "$id" >"$WORK/out" 2>"$WORK/err" </dev/null && status=0 || status=$?
  [ "$status" -eq 1 ] || fail "--window-id $id: status $status; stderr: $(cat "$WORK/err")"
  grep -q -- "$id" "$WORK/err" || fail "--window-id $id not named: $(cat "$WORK/err")"
  expect_no_x_error "$WORK/err"
done

# -root with no window from the host: the root window, the whole screen.
start_app -root
wait_drawn 400 300
[ -z "$(xdotool search --name 'Larkspill' 2>/dev/null)" ] || fail "-root opened a window of its own"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 1
[ "$EXIT_STATUS" -eq 143 ] || fail "-root SIGTERM: status $EXIT_STATUS"
expect_no_x_error
echo "host window id: ok"
