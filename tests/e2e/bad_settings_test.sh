#!/usr/bin/env bash
# Settings files a person or a crash might leave: the saver runs on them and loses nothing.
source "$(dirname "$0")/lib.sh"
start_display 800x600x24

run_briefly() {
  start_app /s
  wait_window "Larkspill -  Get DirectX" >/dev/null || fail "$1: no window; stderr: $(cat "$WORK/stderr")"
  sleep 1.5
  expect_running "$APP_PID"
  kill -TERM "$APP_PID"
  wait_exit "$APP_PID" 2
}

# Random bytes where the file should be.
mkdir -p "$(dirname "$SETTINGS")"
head -c 4096 /dev/urandom >"$SETTINGS"
cp "$SETTINGS" "$WORK/random.ini"
run_briefly "random bytes"
cmp -s "$SETTINGS.bad" "$WORK/random.ini" || grep -q "is not a setting" "$WORK/stderr" ||
  fail "random bytes were neither kept nor reported"

# Hostile values on a file that says the first run is done.
printf '%s\n' "[one]" Birds=1 BirdSpeed=fast BirdTimer=soon Butter1=1 Butter2=1 Clock=1 FontSize=100000 \
  MouseSens=-3 NumButter=99999 Scroll=1 ScrollSec=2.5e9 SingleBird=1 SoundOff=later Waterfall1=1 Waterfall2=1 \
  "[Startup]" CheckFont=0 "FontName=No Such Font Anywhere" PwrSave=1 "[Two]" FontSizeMsg=0 \
  "Message=Grüße aus dem Wald 滝 = ; # [x]" PosClock=2.5e9 ShowMessage=1 SoundWater=7 VolumeWater=-99999 \
  WaterSpeed= "[System]" SetReg=2 | write_settings
cp "$SETTINGS" "$WORK/hostile.ini"
run_briefly "hostile values"
# The saver only reads here: the file is as it was.
cmp -s "$SETTINGS" "$WORK/hostile.ini" || fail "the saver changed a file it only had to read"

# An empty file: the first run writes every value into it.
: >"$SETTINGS"
run_briefly "empty file"
[ "$(setting System SetReg)" = 2 ] || fail "empty file: no first run"
echo "bad settings: ok"
