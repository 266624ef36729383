#!/usr/bin/env bash
# What the saver shows: the first scene, the second after ScrollSec, the notice with no scene,
# the clock in its corner and the message along the bottom. SHOTS=dir keeps the screenshots.
source "$(dirname "$0")/lib.sh"
: "${LARKSPILL_ASSETS:?LARKSPILL_ASSETS must name the asset folder}"
start_display 800x600x24
shots="${SHOTS:-$WORK/shots}"
mkdir -p "$shots"

# Yellow pixels (the saver's text colour) in a box of a screenshot: yellow_in FILE W H X Y
yellow_in() {
  convert "$1" -crop "${2}x${3}+${4}+${5}" +repage \
    -fx '(r>0.75 && g>0.75 && b<0.4) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:
}

# Runs the saver on the given settings lines for $1 seconds, taking screenshots named $2-N.png
# at each of the remaining arguments' times (seconds after the window appeared).
run_with() {
  local settings=$1 name=$2
  shift 2
  rm -rf "$XDG_CONFIG_HOME/larkspill"
  write_settings <<<"$settings"
  start_app /s
  wait_window "Larkspill -  Get DirectX" >/dev/null || fail "$name: no window: $(cat "$WORK/stderr")"
  local start t
  start=$(date +%s.%N)
  for t in "$@"; do
    sleep "$(python3 -c "import time; print(max(0, $start + $t - time.time()))")"
    screenshot "$shots/$name-$t.png"
  done
  expect_running "$APP_PID"
  term_ends "$name"
}

# The settings of one run, no sound and no first run:
#   scene_settings WATERFALL1 WATERFALL2 SCROLLSEC POSCLOCK SHOWMESSAGE [MESSAGE]
scene_settings() {
  printf '%s\n' "[one]" BirdTimer=20 Birds=1 SingleBird=1 Butter1=1 Butter2=1 NumButter=3 BirdSpeed=25 \
    MouseSens=4 Clock=1 FontSize=24 Scroll=1 "Waterfall1=$1" "Waterfall2=$2" "ScrollSec=$3" \
    "[Startup]" CheckFont=1 PwrSave=1 "[two]" FontSizeMsg=24 "Message=${6:-Place a Message Here}" \
    SoundWater=0 SoundBirds=0 SoundJungle=0 SoundEagle=0 WaterSpeed=150 "PosClock=$4" "ShowMessage=$5" \
    "[System]" SetReg=2
}

# Both scenes, four seconds each: 1, then 2, then 1.
run_with "$(scene_settings 1 1 4 1 0)" rotation 2 6 10
[ "$(scene_of "$shots/rotation-2.png")" = 1 ] || fail "the first scene is not shown first"
[ "$(scene_of "$shots/rotation-6.png")" = 2 ] || fail "the second scene did not follow"
[ "$(scene_of "$shots/rotation-10.png")" = 1 ] || fail "the first scene did not come back"

# No scene: the notice in yellow on black.
run_with "$(scene_settings 0 0 60 3 0)" notice 1.5
notice="$shots/notice-1.5.png"
[ "$(yellow_in "$notice" 420 45 215 295)" -gt 300 ] || fail "no notice at 215,295"
[ "$(pixel 100 150 "$notice")" = "0 0 0" ] || [ "$(pixel 120 200 "$notice")" = "0 0 0" ] ||
  fail "the notice frame is not black"

# Only the second scene, the clock in the lower right corner (the corners' order is the frame
# test's) and nowhere else, the message along the bottom.
run_with "$(scene_settings 0 1 60 4 1 "Gone to the waterfall")" texts 1.5
texts="$shots/texts-1.5.png"
[ "$(yellow_in "$texts" 150 40 650 550)" -gt 60 ] || fail "no clock in the lower right corner"
for box in "160 40 0 0" "150 40 650 0"; do
  [ "$(yellow_in "$texts" $box)" -lt 20 ] || fail "yellow in the clock box $box"
done
[ "$(yellow_in "$texts" 300 32 1 568)" -gt 150 ] || fail "no message along the bottom"
[ "$(scene_of "$texts")" = 2 ] || fail "only the second scene is enabled, yet the first shows"
echo "scene: ok"
