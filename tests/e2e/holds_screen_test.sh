#!/usr/bin/env bash
# The full-screen saver holds the screen, bare and under openbox, and lets it go however it ends.
source "$(dirname "$0")/lib.sh"
start_display 800x600x24

holds_the_screen() {
  local setup=$1 shot="$shots/$1-intruder.png"
  # A later window taking the focus stays behind (no stand-in grey, which 16-bit colours never give).
  start_shown /s
  sleep 2
  start_host 800 600 "Intruder" focus
  sleep 0.7
  [ "$(xdotool getwindowfocus)" = "$HOST_DEC" ] || fail "$setup: the intruder did not take the focus"
  import -window root "$shot"
  [ "$(convert "$shot" -alpha off -fill black +opaque '#808080' -fill white -opaque '#808080' \
    -format '%[fx:round(mean*w*h)]' info:)" -eq 0 ] || fail "$setup: the intruder shows over the scene"
  [ "$(scene_of "$shot")" = 1 ] || fail "$setup: the scene is not shown"
  # Unmapped by another client, the saver's window comes back, grabs and all.
  xdotool windowunmap "$WIN"
  sleep 0.5
  xwininfo -id "$WIN" | grep -q IsViewable || fail "$setup: the saver's window stays unmapped"
  ! "$STAND_IN_HOST" --grab >/dev/null || fail "$setup: the saver does not hold the keyboard and pointer"
  xdotool key space
  ends_with 0 "$setup: key" 1
  others_can_grab "$setup: after a key"
  host_destroy

  # Grabs another client holds as the saver starts are taken once let go; a wheel turn ends it.
  bg "$STAND_IN_HOST" --grab 1.5 >/dev/null
  sleep 0.3
  start_shown /s
  sleep 2
  ! "$STAND_IN_HOST" --grab >/dev/null || fail "$setup: the saver did not take the grabs once they were free"
  xdotool click 4
  ends_with 0 "$setup: wheel" 1
  others_can_grab "$setup: after a wheel turn"

  # Another client destroys the saver's window: the display is lost, in order, said in one line.
  start_shown /s
  sleep 1
  xdotool windowclose "$WIN"
  ends_with 3 "$setup: window closed"
  [ "$(grep -c '^larkspill:' "$WORK/stderr")" -eq 1 ] && grep -q 'display went away' "$WORK/stderr" ||
    fail "$setup: window closed: not one line saying so: $(err)"
  others_can_grab "$setup: after its window was closed"
}

holds_the_screen bare
HOME="$WORK" bg openbox --sm-disable >"$WORK/openbox.log" 2>&1
until_ok 20 eval "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'" ||
  fail "openbox did not start: $(cat "$WORK/openbox.log")"
holds_the_screen openbox
echo "holds screen: ok"
