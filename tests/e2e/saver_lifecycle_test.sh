#!/usr/bin/env bash
# The saver's life: first run, a second start, the dialog, files a person or a crash leaves, what it shows.
source "$(dirname "$0")/lib.sh"
start_display 800x600x24
moves() { local x; for x in "$@"; do xdotool mousemove "$x" 100; done; }
# second MODE: a second start while the first runs ends at once with 0, silently.
second() { "$LARKSPILL" "$1" 2>"$WORK/second.err" & wait_exit $! 5; [ "$EXIT_STATUS" -eq 0 ] && [ ! -s "$WORK/second.err" ] || fail "second $1: $EXIT_STATUS $(cat "$WORK/second.err")"; }

# A fresh settings folder: the first start writes every first-run value and covers the screen.
start_shown /s
runs_after 1
[ "$(setting System SetReg)/$(setting two VolumeJungle)/$(setting two Message)" = "2/-1492/Place a Message Here" ] &&
  [ "$(grep -c '=' "$SETTINGS")" -eq 36 ] || fail "first run: $(cat "$SETTINGS")"
geometry_is "$WIN" "0,0 800x600"
second /s
runs_after 0
xdotool click 1
ends_with 0 "button" 1

# The dialog at its fixed size; a second /c brings it in front of another window and ends.
start_shown /c "$DIALOG"
geometry_is "$WIN" "* 594x406"
# Whether the dialog is the viewable top-level window highest in the stacking order.
on_top() { for id in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do xwininfo -id "$id" | grep -q IsViewable && break; done; [ "$(printf '%d' "$id")" = "$WIN" ]; }
bg xmessage -geometry 700x500+0+0 "over the dialog" 2>/dev/null
over=$!
until_ok 5 eval '! on_top' || fail "/c: no window came over the dialog"
second /c
until_ok 2 on_top || fail "second /c: the dialog is not in front"
[ "$(xdotool search --onlyvisible --name "^Larkspill Control Box" | wc -l)" -eq 1 ] || fail "second /c: not one dialog"
term_ends "/c"
kill "$over"

# run_on WHAT [X...]: a file the saver only reads stays as it was; pointer moves to X..., one more ends it.
run_on() {
  cp "$SETTINGS" "$WORK/before.ini"
  start_shown /s
  wait_until 10 "$1: the scene" expect_scene 0 0 800 600
  moves "${@:2}"
  runs_after 0
  if [ $# -gt 1 ]; then moves 600 && ends_with 0 "$1: one more pointer move" 1; else term_ends "$1"; fi
  [ "$1" = "random bytes" ] || cmp -s "$SETTINGS" "$WORK/before.ini" || fail "$1: the saver changed a file it only had to read"
}
head -c 4096 /dev/urandom | write_settings
run_on "random bytes"  # kept aside or reported
cmp -s "$SETTINGS.bad" "$WORK/before.ini" || grep -q "is not a setting" "$WORK/stderr" ||
  fail "random bytes were neither kept nor reported"
# Hostile values saved by an editor (BOM, CRLF, comments after headers): the sensitivity of 6 holds.
printf '%s\r\n' $'\xEF\xBB\xBF[One] ; creatures and timing' Birds=1 BirdSpeed=fast BirdTimer=soon Butter1=1 \
  Butter2=1 Clock=1 FontSize=100000 "MouseSens = 6" NumButter=99999 Scroll=1 ScrollSec=2.5e9 SingleBird=1 \
  SoundOff=later Waterfall1=1 Waterfall2=1 "[Startup]" CheckFont=0 "FontName=No Such Font Anywhere" PwrSave=1 \
  "[Two] ; texts" FontSizeMsg=0 "Message=Grüße aus dem Wald 滝 = ; # [x]" PosClock=2.5e9 ShowMessage=1 \
  SoundWater=7 VolumeWater=-99999 WaterSpeed= "[System]" SetReg=2 | write_settings
run_on "hostile values" 100 200 300 400 500

# A FIFO where the file should be: nothing waits for a writer, the scene shows; the FIFO stays.
rm -f "$SETTINGS" && mkfifo "$SETTINGS"
start_shown /s
wait_until 10 "FIFO: the scene" expect_scene 0 0 800 600
expect_scene 0 0 800 600
term_ends "FIFO" 1
[ -p "$SETTINGS" ] && grep -q "not a regular file" "$WORK/stderr" || fail "FIFO: replaced or not reported; $(err)"
rm -f "$SETTINGS"

# A read-only file: the dialog, writing the out-of-range sensitivity back, says so once; no change.
printf '[One]\nMouseSens=50\nScroll=3\n' | write_settings
chmod 0444 "$SETTINGS"
cp -p "$SETTINGS" "$WORK/readonly.ini"
start_shown /c "$DIALOG"
wait_until 10 "read-only: the dialog saying so" grep -q read-only "$WORK/stderr"
term_ends "read-only"
cmp -s "$SETTINGS" "$WORK/readonly.ini" && [ "$(stat -c %a "$SETTINGS")" = 444 ] &&
  [ "$(grep -c 'read-only' "$WORK/stderr")" -eq 1 ] || fail "read-only: the file changed, or not said once: $(err)"

# An empty file: the first run writes every value into it.
rm -f "$SETTINGS" && : >"$SETTINGS"
start_shown /s
wait_until 10 "empty file: the first run's values" eval '[ "$(setting System SetReg)" = 2 ]'
term_ends "empty file"
[ "$(setting System SetReg)" = 2 ] || fail "empty file: no first run"

# yellow_in FILE W H X Y: yellow pixels (the saver's text colour) in that box of a screenshot.
yellow_in() { convert "$1" -crop "${2}x${3}+${4}+${5}" +repage -fx '(r>0.75 && g>0.75 && b<0.4) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:; }

# run NAME WATERFALL1 WATERFALL2 SCROLLSEC POSCLOCK SHOWMESSAGE T...: screenshots NAME-T.png at T s.
run() {
  printf '%s\n' "[one]" BirdTimer=20 Birds=1 SingleBird=1 Butter1=1 Butter2=1 NumButter=3 BirdSpeed=25 \
    MouseSens=4 Clock=1 FontSize=24 Scroll=1 "Waterfall1=$2" "Waterfall2=$3" "ScrollSec=$4" \
    "[Startup]" CheckFont=1 PwrSave=1 "[two]" FontSizeMsg=24 "Message=Gone to the waterfall" \
    SoundWater=0 SoundBirds=0 SoundJungle=0 SoundEagle=0 WaterSpeed=150 "PosClock=$5" "ShowMessage=$6" \
    "[System]" SetReg=2 | write_settings
  start_shown /s
  local t name=$1 start=$EPOCHREALTIME
  for t in "${@:7}"; do
    sleep "$(python3 -c "import time; print(max(0, $start + $t - time.time()))")"
    import -window root "$shots/$name-$t.png"
  done
  runs_after 0
  term_ends "$name"
}

# Both scenes, four seconds each: 1, 2, 1 (a shot a second, as a loaded machine may start late).
run rotation 1 1 4 1 0 $(seq 1 10)
order=$(for t in $(seq 1 10); do scene_of "$shots/rotation-$t.png"; done | uniq | tr -d '\n')
[[ $order == 121* ]] || fail "the scenes came $order, not 1, 2, 1"

# No scene: the notice in yellow on black.
run notice 0 0 60 3 0 1.5
[ "$(yellow_in "$shots/notice-1.5.png" 420 45 215 295)" -gt 300 ] || fail "no notice at 215,295"
[ "$(pixel 100 150 "$shots/notice-1.5.png")" = "0 0 0" ] || [ "$(pixel 120 200 "$shots/notice-1.5.png")" = "0 0 0" ] ||
  fail "the notice frame is not black"

# Only the second scene, the clock in the lower right corner alone, the message along the bottom.
run texts 0 1 60 4 1 1.5
texts="$shots/texts-1.5.png"
[ "$(yellow_in "$texts" 150 40 650 550)" -gt 60 ] || fail "no clock in the lower right corner"
[ "$(yellow_in "$texts" 160 40 0 0)" -lt 20 ] && [ "$(yellow_in "$texts" 150 40 650 0)" -lt 20 ] ||
  fail "yellow in an upper clock corner"
[ "$(yellow_in "$texts" 300 32 1 568)" -gt 150 ] || fail "no message along the bottom"
[ "$(scene_of "$texts")" = 2 ] || fail "only the second scene is enabled, yet the first shows"
echo "saver lifecycle: ok"
