#!/usr/bin/env bash
# The full-screen saver keeps the screen from ordinary windows, bare and under openbox, and leaves it
# free however it ends.
source "$(dirname "$0")/lib.sh"
start_display 800x600x24 -noreset  # no reset when the bare run's last client leaves, as openbox starts

holds_the_screen() {
  local setup=$1 shot="$shots/$1-intruder.png"
  # A later window taking the focus stays behind (no stand-in grey, which 16-bit colours never give),
  # and the focus comes back to the saver.
  start_shown /s
  focused() { [ "$(xdotool getwindowfocus)" = "$WIN" ]; }
  wait_until 10 "$setup: the scene, focused" eval 'expect_scene 0 0 800 600 && focused'
  start_host 800 600 "Intruder" focus
  wait_until 5 "$setup: the focus back on the saver" focused
  [ "$(xdotool getwindowfocus)" = "$WIN" ] || fail "$setup: the saver did not take the focus back"
  grey_shown() {
    import -window root "$shot"
    [ "$(convert "$shot" -alpha off -fill black +opaque '#808080' -fill white -opaque '#808080' \
      -format '%[fx:round(mean*w*h)]' info:)" -ne 0 ]
  }
  ! grey_shown || fail "$setup: the intruder shows over the scene"
  [ "$(scene_of "$shot")" = 1 ] || fail "$setup: the scene is not shown"
  # Raised (not mapped) over the saver by another program, it goes behind again.
  xdotool windowraise "$HOST_HEX"
  wait_until 5 "$setup: the saver back over the raised window" eval '! grey_shown'
  ! grey_shown || fail "$setup: a window raised over the saver stays over the scene"
  [ "$("$STAND_IN_HOST" --cursor)" = hidden ] || fail "$setup: the cursor shows over the saver"
  # Unmapped by another client, the saver's window comes back, focus and all.
  xdotool windowunmap "$WIN"
  wait_until 5 "$setup: the saver's window mapped again" eval 'xwininfo -id "$WIN" | grep -q IsViewable && focused'
  xwininfo -id "$WIN" | grep -q IsViewable || fail "$setup: the saver's window stays unmapped"
  [ "$(xdotool getwindowfocus)" = "$WIN" ] || fail "$setup: the saver's window came back without the focus"
  xdotool key space
  ends_with 0 "$setup: key" 1
  [ "$("$STAND_IN_HOST" --cursor)" = shown ] || fail "$setup: the cursor stays hidden after the saver"
  others_can_grab "$setup: after a key"
  host_destroy

  # A grab with no full-screen window (an open menu) as the saver starts is waited out; a wheel turn
  # then ends it.
  bg "$STAND_IN_HOST" --grab 1.5 >"$WORK/menu-grab"
  wait_until 5 "$setup: the menu's grab" grep -q "keyboard 0 pointer 0" "$WORK/menu-grab"
  start_shown /s
  runs_after 2
  xdotool click 4
  ends_with 0 "$setup: wheel" 1
  others_can_grab "$setup: after a wheel turn"

  # Another client destroys the saver's window: the display is lost, in order, said in one line.
  start_shown /s
  wait_until 10 "$setup: the scene" expect_scene 0 0 800 600
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
