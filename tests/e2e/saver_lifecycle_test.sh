#!/usr/bin/env bash
# The saver's life from outside: first run, full screen, what the user does to end it, a second
# start, the dialog; then settings files a person or a crash might leave: the saver runs on them
# and loses nothing. (Signals and failures: end_paths_test.)
source "$(dirname "$0")/lib.sh"
start_display 800x600x24
moves() { local x; for x in "$@"; do xdotool mousemove "$x" 100; sleep 0.2; done; }

# A fresh settings folder: the first start writes every first-run value and covers the screen.
start_shown /s
sleep 1
expect_running
[ "$(setting System SetReg)/$(setting two VolumeJungle)/$(setting two Message)" = "2/-1492/Place a Message Here" ] &&
  [ "$(grep -c '=' "$SETTINGS")" -eq 35 ] || fail "first run: $(cat "$SETTINGS")"
eval "$(xdotool getwindowgeometry --shell "$WIN")"
[ "$WIDTH" -eq 800 ] && [ "$HEIGHT" -eq 600 ] || fail "window is ${WIDTH}x${HEIGHT}, not the screen"
# A second /s while it runs ends at once, silently; a button ends the first within a second.
"$LARKSPILL" /s 2>"$WORK/second.err" &
wait_exit $! 2
[ "$EXIT_STATUS" -eq 0 ] && [ ! -s "$WORK/second.err" ] || fail "second start: $EXIT_STATUS $(cat "$WORK/second.err")"
expect_running
xdotool click 1
ends_with 0 "button" 1

# With the first-run sensitivity of 4, three pointer moves leave it running; the fourth ends it.
start_shown /s
sleep 1
moves 100 200 300
expect_running
moves 400
ends_with 0 "pointer" 1

# The settings dialog opens at its fixed size. A second /c, with another window over the
# dialog, brings the dialog to the front and ends: one dialog, in front.
start_shown /c "$DIALOG"
eval "$(xdotool getwindowgeometry --shell "$WIN")"
[ "$WIDTH" -eq 594 ] && [ "$HEIGHT" -eq 406 ] || fail "/c: the dialog is ${WIDTH}x${HEIGHT}"
# Whether the viewable top-level window highest in the stacking order (xwininfo lists the top
# first) is the dialog.
on_top() {
  local id
  for id in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
    xwininfo -id "$id" | grep -q "Map State: IsViewable" && { [ "$(printf '%d' "$id")" = "$WIN" ]; return; }
  done
  return 1
}
xmessage -geometry 700x500+0+0 "over the dialog" 2>/dev/null &
over=$!
PIDS+=("$over")
until_ok 5 eval '! on_top' || fail "/c: no window came over the dialog"
"$LARKSPILL" /c 2>"$WORK/second.err" &
wait_exit $! 5
[ "$EXIT_STATUS" -eq 0 ] || fail "second /c ended with $EXIT_STATUS: $(cat "$WORK/second.err")"
until_ok 2 on_top || fail "second /c: the dialog is not in front"
[ "$(xdotool search --onlyvisible --name "^Larkspill Control Box" | wc -l)" -eq 1 ] || fail "second /c: not one dialog"
term_ends "/c"
kill "$over"

# Settings files the saver only reads: it runs on each, the file as it was, nothing reported.
# Random bytes are kept aside or reported instead.
run_on() {
  cp "$SETTINGS" "$WORK/before.ini"
  start_shown /s
  sleep 1
  moves "${@:2}"
  expect_running
  term_ends "$1"
  [ "$1" = "random bytes" ] || cmp -s "$SETTINGS" "$WORK/before.ini" || fail "$1: the saver changed a file it only had to read"
}
mkdir -p "$(dirname "$SETTINGS")"
head -c 4096 /dev/urandom >"$SETTINGS"
run_on "random bytes"
cmp -s "$SETTINGS.bad" "$WORK/before.ini" || grep -q "is not a setting" "$WORK/stderr" ||
  fail "random bytes were neither kept nor reported"
# Hostile values, saved by an editor with a byte-order mark, CRLF line ends and comments after
# the headers: the user's sensitivity of 6 holds (five pointer moves leave the saver running).
printf '%s\r\n' $'\xEF\xBB\xBF[One] ; creatures and timing' Birds=1 BirdSpeed=fast BirdTimer=soon Butter1=1 \
  Butter2=1 Clock=1 FontSize=100000 "MouseSens = 6" NumButter=99999 Scroll=1 ScrollSec=2.5e9 SingleBird=1 \
  SoundOff=later Waterfall1=1 Waterfall2=1 "[Startup]" CheckFont=0 "FontName=No Such Font Anywhere" PwrSave=1 \
  "[Two] ; texts" FontSizeMsg=0 "Message=Grüße aus dem Wald 滝 = ; # [x]" PosClock=2.5e9 ShowMessage=1 \
  SoundWater=7 VolumeWater=-99999 WaterSpeed= "[System]" SetReg=2 | write_settings
run_on "hostile values" 100 200 300 400 500

# A FIFO where the file should be: nothing waits for a writer, the scene shows with the first-run
# values, and one SIGTERM ends the saver; the FIFO stays and is reported.
rm -f "$SETTINGS"
mkfifo "$SETTINGS"
start_shown /s
sleep 1.5
expect_scene 0 0 800 600
term_ends "FIFO" 1
[ -p "$SETTINGS" ] && grep -q "not a regular file" "$WORK/stderr" || fail "FIFO: replaced or not reported; $(err)"
rm -f "$SETTINGS"

# A file the user made read-only: the dialog opens on it and says on standard error, once, that
# changes cannot be saved, though opening it writes the out-of-range sensitivity; the file stays
# as it was to the byte.
printf '[One]\nMouseSens=50\nScroll=3\n' | write_settings
chmod 0444 "$SETTINGS"
cp -p "$SETTINGS" "$WORK/readonly.ini"
start_shown /c "$DIALOG"
sleep 0.5
term_ends "read-only"
cmp -s "$SETTINGS" "$WORK/readonly.ini" && [ "$(stat -c %a "$SETTINGS")" = 444 ] || fail "read-only: the file changed"
[ "$(grep -c 'read-only' "$WORK/stderr")" -eq 1 ] || fail "read-only: stderr: $(err)"

# An empty file: the first run writes every value into it.
rm -f "$SETTINGS" && : >"$SETTINGS"
start_shown /s
sleep 1.5
term_ends "empty file"
[ "$(setting System SetReg)" = 2 ] || fail "empty file: no first run"
echo "saver lifecycle: ok"
