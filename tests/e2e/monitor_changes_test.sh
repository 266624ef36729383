#!/usr/bin/env bash
# The full-screen saver follows the monitors while it runs: a screen RandR grows is covered again,
# and the saver goes on, sound and all.
source "$(dirname "$0")/lib.sh"
# The server's largest screen is the one it starts with, so it starts large and is made small.
start_display 1600x1200x24
xrandr --newmode 800x600 0 800 800 800 800 600 600 600 600 && xrandr --addmode screen 800x600 &&
  xrandr -s 800x600 || fail "RandR could not make the screen 800x600"

start_shown /s
wait_until 10 "the scene" expect_scene 0 0 800 600
geometry_is "$WIN" "0,0 800x600"
xrandr -s 1600x1200
wait_until 10 "the scene on the grown screen" expect_scene 1200 900 400 300
expect_scene 1200 900 400 300
WIN=$(find_window "$TITLE") || fail "no window after the screen grew; stderr: $(err)"
geometry_is "$WIN" "0,0 1600x1200"
before=$(stat -c %s "$WORK/audio.raw")
runs_after 0.5
[ "$(on_display)" = "$APP_PID" ] || fail "not the same saver after the screen grew: $(on_display)"
[ "$(stat -c %s "$WORK/audio.raw")" -gt "$before" ] || fail "the sound stopped when the screen grew"
term_ends "after the screen grew"
echo "monitor changes: ok"
