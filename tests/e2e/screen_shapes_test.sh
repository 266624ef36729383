#!/usr/bin/env bash
# Monitors of different shapes side by side (RandR monitors on one virtual screen, at half the
# size of a 1080x1920 portrait beside a 2560x1440): each is filled by the scene fitted to its own
# shape, and fitted again within a second when it changes while the saver runs.
source "$(dirname "$0")/lib.sh"

# The share, in percent, of the monitor W H X Y that black rows or columns (black from edge to
# edge) cover.
black_share() {
  local cols rows
  import -window root -crop "$1x$2+$3+$4" +repage "$WORK/monitor.png"
  cols=$(convert "$WORK/monitor.png" -scale "$1x1!" -depth 8 txt:- | grep -c '(0,0,0)' || true)
  rows=$(convert "$WORK/monitor.png" -scale "1x$2!" -depth 8 txt:- | grep -c '(0,0,0)' || true)
  echo $((100 - 100 * ($1 - cols) * ($2 - rows) / ($1 * $2)))
}
filled() { [ "$(black_share "$@")" -le 1 ]; }

start_display 1820x960x24
xrandr --setmonitor P 540/143x960/254+0+0 screen >/dev/null &&
  xrandr --setmonitor L 1280/338x720/190+540+0 none >/dev/null || fail "RandR could not make the monitors"
start_shown /s
wait_until 10 "the scene on the portrait monitor" expect_scene 0 0 540 960
wait_until 10 "the scene on the landscape monitor" expect_scene 540 0 1280 720
wait_until 5 "the portrait monitor filled" filled 540 960 0 0
wait_until 5 "the landscape monitor filled" filled 1280 720 540 0
portrait=$(black_share 540 960 0 0) landscape=$(black_share 1280 720 540 0)
[ "$portrait" -le 1 ] || fail "the portrait monitor is $portrait % black"
[ "$landscape" -le 1 ] || fail "the landscape monitor is $landscape % black"

# The landscape monitor turned to portrait while the saver runs: fitted again at once. Its new
# window comes in the same pass of the saver's loop as its new fit, so the window's arrival times
# the refit; a look at the screen is too slow for that under load.
window_turned() {
  local id
  for id in $(xdotool search --classname larkspill 2>/dev/null); do
    [ "$(xdotool getwindowgeometry "$id" 2>/dev/null | grep -c 'Position: 540,0\|Geometry: 720x960')" -eq 2 ] && return 0
  done
  return 1
}
since_ms() { echo $((($(date +%s%N) - start) / 1000000)); }
start=$(date +%s%N)
xrandr --delmonitor L >/dev/null && xrandr --setmonitor L 720/190x960/254+540+0 none >/dev/null || fail "RandR could not turn the monitor"
until window_turned; do [ "$(since_ms)" -lt 5000 ] || fail "no window on the turned monitor after 5 s"; sleep 0.05; done
refit_ms=$(since_ms)
wait_until 5 "the turned monitor filled" filled 720 960 540 0
expect_scene 540 0 720 960
[ "$refit_ms" -le 2000 ] || fail "the turned monitor was fitted again after $refit_ms ms"
[ "$(black_share 540 960 0 0)" -le 1 ] || fail "the portrait monitor lost its fit when the other turned"
term_ends "after the turn"
echo "screen shapes: ok (black: portrait $portrait %, landscape $landscape %; turned monitor refitted in $refit_ms ms)"
