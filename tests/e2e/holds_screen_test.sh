#!/usr/bin/env bash
# The full-screen saver holds the screen, on a bare X server and under a window manager
# (openbox): a window mapped later never shows over the scene, nor does the saver's own window
# leave the screen; every key and wheel turn reaches the saver wherever the focus went; another
# client closing its window ends it with status 3; and whatever way it ends, the keyboard and
# pointer are free for others afterwards.
# SHOTS=dir keeps the screenshots.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/stand_in_host.sh"
: "${LARKSPILL_ASSETS:?LARKSPILL_ASSETS must name the asset folder}"
start_display 800x600x24
title="Larkspill -  Get DirectX"
shots="${SHOTS:-$WORK/shots}"
mkdir -p "$shots"

# Pixels of the stand-in window's grey in a screenshot; the scene's 16-bit colours never give it.
grey_in() {
  convert "$1" -alpha off -fill black +opaque '#808080' -fill white -opaque '#808080' \
    -format '%[fx:round(mean*w*h)]' info:
}

# Starts the saver and waits for its window; sets WIN.
start_saver() {
  start_app /s
  WIN=$(wait_window "$title") || fail "$1: no saver window: $(cat "$WORK/stderr")"
}

# What a user meets: setup is "bare" or "openbox".
holds_the_screen() {
  local setup=$1
  # A window that appears two seconds in and takes the focus: the scene stays in front of it,
  # and a key still ends the saver.
  start_saver "$setup"
  sleep 2
  start_host 800 600 "Intruder" focus
  sleep 0.7
  [ "$(xdotool getwindowfocus)" = "$HOST_DEC" ] || fail "$setup: the intruder did not take the focus"
  screenshot "$shots/$setup-intruder.png"
  [ "$(grey_in "$shots/$setup-intruder.png")" -eq 0 ] || fail "$setup: the intruder shows over the scene"
  [ "$(scene_of "$shots/$setup-intruder.png")" = 1 ] || fail "$setup: the scene is not shown"
  # Another client takes the saver's window off the screen: it comes back, grabs and all.
  xdotool windowunmap "$WIN"
  sleep 0.5
  xwininfo -id "$WIN" | grep -q IsViewable || fail "$setup: the saver's window stays unmapped"
  ! "$STAND_IN_HOST" --grab >/dev/null || fail "$setup: the saver does not hold the keyboard and pointer"
  xdotool key space
  wait_exit "$APP_PID" 1
  [ "$EXIT_STATUS" -eq 0 ] || fail "$setup: key: status $EXIT_STATUS"
  others_can_grab "$setup: after a key"
  host_destroy

  # A wheel turn is a button.
  start_saver "$setup"
  sleep 1
  xdotool click 4
  wait_exit "$APP_PID" 1
  [ "$EXIT_STATUS" -eq 0 ] || fail "$setup: wheel: status $EXIT_STATUS"
  others_can_grab "$setup: after a wheel turn"

  # Another client destroys the saver's window: the display is lost, in order.
  start_saver "$setup"
  sleep 1
  xdotool windowclose "$WIN"
  wait_exit "$APP_PID" 2
  [ "$EXIT_STATUS" -eq 3 ] || fail "$setup: window closed: status $EXIT_STATUS"
  [ "$(grep -c '^larkspill:' "$WORK/stderr")" -eq 1 ] && grep -q 'display went away' "$WORK/stderr" ||
    fail "$setup: window closed: not one line saying so: $(cat "$WORK/stderr")"
  others_can_grab "$setup: after its window was closed"
}

holds_the_screen bare

# Another client holds the keyboard and pointer as the saver starts: it takes them once they are
# let go, and a key ends it.
"$STAND_IN_HOST" --grab 1.5 >/dev/null &
PIDS+=($!)
sleep 0.3
start_saver "grabs held by another"
sleep 2
! "$STAND_IN_HOST" --grab >/dev/null || fail "the saver did not take the grabs once they were free"
xdotool key space
wait_exit "$APP_PID" 1
[ "$EXIT_STATUS" -eq 0 ] || fail "grabs held by another: status $EXIT_STATUS"

HOME="$WORK" openbox --sm-disable >/dev/null 2>&1 &
WM_PID=$!
PIDS+=("$WM_PID")
for i in $(seq 1 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "openbox did not start"
holds_the_screen openbox
kill "$WM_PID"
wait "$WM_PID" || true
echo "holds screen: ok"
