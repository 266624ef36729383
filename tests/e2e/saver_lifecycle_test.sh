#!/usr/bin/env bash
# The saver's life from outside: first run, full screen, what the user does to end it, a second
# start; then settings files a person or a crash might leave: the saver runs on them and loses
# nothing. (Signals and failures: end_paths_test.)
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
over=$!
PIDS+=("$over")
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
kill -TERM "$APP_PID" "$over"
wait_exit "$APP_PID" 2

run_briefly() {
  start_app /s
  wait_window "Larkspill -  Get DirectX" >/dev/null || fail "$1: no window; stderr: $(cat "$WORK/stderr")"
  sleep 1.5
  expect_running "$APP_PID"
  term_ends "$1"
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
term_ends "BOM"
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
term_ends "FIFO" 1
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
term_ends "read-only"
cmp -s "$SETTINGS" "$WORK/readonly.ini" || fail "read-only: the file changed"
[ "$(stat -c %a "$SETTINGS")" = 444 ] || fail "read-only: mode now $(stat -c %a "$SETTINGS")"
[ "$(grep -c 'read-only' "$WORK/stderr")" -eq 1 ] || fail "read-only: stderr: $(cat "$WORK/stderr")"
rm -f "$SETTINGS"

# An empty file: the first run writes every value into it.
: >"$SETTINGS"
run_briefly "empty file"
[ "$(setting System SetReg)" = 2 ] || fail "empty file: no first run"
echo "saver lifecycle: ok"
