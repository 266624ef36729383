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

# Saved by an editor with a byte-order mark, CRLF line ends and a comment after the header: the
# user's sensitivity of 6 holds (five pointer moves leave the saver running), the file is only read.
printf '\xEF\xBB\xBF[One] ; creatures and timing\r\nMouseSens = 6\r\n[System]\r\nSetReg=2\r\n' |
  write_settings
cp "$SETTINGS" "$WORK/bom.ini"
start_app /s
wait_window "Larkspill -  Get DirectX" >/dev/null || fail "BOM: no window; stderr: $(cat "$WORK/stderr")"
sleep 1
for x in 100 200 300 400 500; do
  xdotool mousemove "$x" 100
  sleep 0.2
done
expect_running "$APP_PID"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 2
cmp -s "$SETTINGS" "$WORK/bom.ini" || fail "BOM: the saver changed a file it only had to read"
! grep -q "is not a setting" "$WORK/stderr" || fail "BOM: $(cat "$WORK/stderr")"

# A FIFO where the file should be: nothing waits for a writer, the scene shows with the first-run
# values, and one SIGTERM ends the saver.
rm -f "$SETTINGS"
mkfifo "$SETTINGS"
start_app /s
wait_window "Larkspill -  Get DirectX" >/dev/null || fail "FIFO: no window; stderr: $(cat "$WORK/stderr")"
sleep 1.5
import -window root "$WORK/fifo.png"
brightness=$(convert "$WORK/fifo.png" -format '%[fx:int(mean*1000)]' info:)
[ "$brightness" -gt 50 ] || fail "FIFO: the screen is dark ($brightness/1000)"
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 1
[ "$EXIT_STATUS" -eq 143 ] || fail "FIFO: status $EXIT_STATUS after SIGTERM"
[ -p "$SETTINGS" ] || fail "FIFO: replaced"
grep -q "not a regular file" "$WORK/stderr" || fail "FIFO: not reported; stderr: $(cat "$WORK/stderr")"
rm -f "$SETTINGS"

# A file the user made read-only: the dialog opens on it and says on standard error, once, that
# changes cannot be saved (in the dialog too: its test), though opening it writes the
# out-of-range sensitivity; the file stays as it was to the byte.
printf '[One]\nMouseSens=50\nScroll=3\n' | write_settings
chmod 0444 "$SETTINGS"
cp -p "$SETTINGS" "$WORK/readonly.ini"
start_app /c
wait_window "Larkspill Control Box  Freeware for personal use" >/dev/null ||
  fail "read-only: no dialog; stderr: $(cat "$WORK/stderr")"
sleep 0.5
kill -TERM "$APP_PID"
wait_exit "$APP_PID" 2
cmp -s "$SETTINGS" "$WORK/readonly.ini" || fail "read-only: the file changed"
[ "$(stat -c %a "$SETTINGS")" = 444 ] || fail "read-only: mode now $(stat -c %a "$SETTINGS")"
[ "$(grep -c 'read-only' "$WORK/stderr")" -eq 1 ] || fail "read-only: stderr: $(cat "$WORK/stderr")"
rm -f "$SETTINGS"

# An empty file: the first run writes every value into it.
: >"$SETTINGS"
run_briefly "empty file"
[ "$(setting System SetReg)" = 2 ] || fail "empty file: no first run"
echo "bad settings: ok"
