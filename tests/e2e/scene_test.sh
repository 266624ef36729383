#!/usr/bin/env bash
# What the saver shows: the first scene, the second after ScrollSec, the notice with no scene,
# the clock in its corner and the message along the bottom. SHOTS=dir keeps the screenshots.
source "$(dirname "$0")/lib.sh"
start_display 800x600x24
shots="${SHOTS:-$WORK/shots}"
mkdir -p "$shots"

# Yellow pixels (the saver's text colour) in a box of a screenshot: yellow_in FILE W H X Y
yellow_in() {
  convert "$1" -crop "${2}x${3}+${4}+${5}" +repage \
    -fx '(r>0.75 && g>0.75 && b<0.4) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:
}

# run NAME WATERFALL1 WATERFALL2 SCROLLSEC POSCLOCK SHOWMESSAGE SECONDS...: the saver on these
# settings (no sound, first run done), a screenshot NAME-T.png T seconds after its window showed.
run() {
  rm -rf "$XDG_CONFIG_HOME/larkspill"
  printf '%s\n' "[one]" BirdTimer=20 Birds=1 SingleBird=1 Butter1=1 Butter2=1 NumButter=3 BirdSpeed=25 \
    MouseSens=4 Clock=1 FontSize=24 Scroll=1 "Waterfall1=$2" "Waterfall2=$3" "ScrollSec=$4" \
    "[Startup]" CheckFont=1 PwrSave=1 "[two]" FontSizeMsg=24 "Message=Gone to the waterfall" \
    SoundWater=0 SoundBirds=0 SoundJungle=0 SoundEagle=0 WaterSpeed=150 "PosClock=$5" "ShowMessage=$6" \
    "[System]" SetReg=2 | write_settings
  start_shown /s
  local start t name=$1
  start=$(date +%s.%N)
  for t in "${@:7}"; do
    sleep "$(python3 -c "import time; print(max(0, $start + $t - time.time()))")"
    import -window root "$shots/$name-$t.png"
  done
  expect_running
  term_ends "$name"
}

# Both scenes, four seconds each: 1, then 2, then 1.
run rotation 1 1 4 1 0 2 6 10
[ "$(scene_of "$shots/rotation-2.png")$(scene_of "$shots/rotation-6.png")$(scene_of "$shots/rotation-10.png")" = 121 ] ||
  fail "the scenes did not come 1, 2, 1"

# No scene: the notice in yellow on black.
run notice 0 0 60 3 0 1.5
[ "$(yellow_in "$shots/notice-1.5.png" 420 45 215 295)" -gt 300 ] || fail "no notice at 215,295"
[ "$(pixel 100 150 "$shots/notice-1.5.png")" = "0 0 0" ] || [ "$(pixel 120 200 "$shots/notice-1.5.png")" = "0 0 0" ] ||
  fail "the notice frame is not black"

# Only the second scene, the clock in the lower right corner (the corners' order is the frame
# test's) and nowhere else, the message along the bottom.
run texts 0 1 60 4 1 1.5
texts="$shots/texts-1.5.png"
[ "$(yellow_in "$texts" 150 40 650 550)" -gt 60 ] || fail "no clock in the lower right corner"
[ "$(yellow_in "$texts" 160 40 0 0)" -lt 20 ] && [ "$(yellow_in "$texts" 150 40 650 0)" -lt 20 ] ||
  fail "yellow in an upper clock corner"
[ "$(yellow_in "$texts" 300 32 1 568)" -gt 150 ] || fail "no message along the bottom"
[ "$(scene_of "$texts")" = 2 ] || fail "only the second scene is enabled, yet the first shows"
echo "scene: ok"
