#!/usr/bin/env bash
# One forest across three monitors in a row (SpanMonitors=1, or -span for one run): the waterfall
# and the clock on the middle one only, the forest going on over the outer ones once it is
# painted for the desk; each monitor its own scene again without it.
source "$(dirname "$0")/lib.sh"

# yellow_at W H X Y: whether that part of the screen shows the clock's yellow.
yellow_at() {
  import -window root -crop "$1x$2+$3+$4" +repage png:- |
    convert - -fx '(r>0.6 && g>0.6 && b<0.45) ? 1 : 0' -format '%[fx:maxima.r > 0 ? 1 : 0]' info:
}
# no_black_column W H X Y: no column of that part black from top to bottom.
no_black_column() {
  local black
  black=$(import -window root -crop "$1x$2+$3+$4" +repage png:- | convert - -scale "$1x1!" -depth 8 txt:- |
    grep -c '(0,0,0)' || true)
  [ "$black" -eq 0 ]
}
# forest_at X Y W H: that part shows the forest beyond the scene, darker than the scene's middle.
forest_at() {
  local figures
  figures=$(import -window root -crop "$3x$4+$1+$2" +repage png:- | convert - -format '%k %[fx:int(mean*1000)]' info:)
  [ "${figures% *}" -gt 200 ] && [ "${figures#* }" -gt 20 ] || fail "no forest at $3x$4+$1+$2: $figures"
}
# middle_scene: which waterfall the middle monitor shows (scene_of).
middle_scene() { import -window root -crop 800x600+800+0 +repage "$WORK/middle.png" && scene_of "$WORK/middle.png"; }

start_display 2400x600x24
xrandr --setmonitor A 800/211x600/159+0+0 screen >/dev/null &&
  xrandr --setmonitor B 800/211x600/159+800+0 none >/dev/null &&
  xrandr --setmonitor C 800/211x600/159+1600+0 none >/dev/null || fail "RandR could not make the monitors"
printf '%s\n' "[System]" SetReg=2 "[one]" Clock=1 FontSize=36 Birds=0 SingleBird=0 Butter1=0 Butter2=0 \
  waterfall1=1 waterfall2=0 "[two]" PosClock=1 ShowMessage=0 "[Startup]" SpanMonitors=1 | write_settings

start_shown /s
wait_until 10 "the scene on the middle monitor" expect_scene 800 0 800 600
[ "$(middle_scene)" = 1 ] || fail "the middle monitor does not show the waterfall"
wait_until 5 "the clock on the middle monitor" eval '[ "$(yellow_at 800 120 800 0)" = 1 ]'
[ "$(yellow_at 800 600 0 0)" = 0 ] || fail "the clock shows on the left monitor too"
[ "$(yellow_at 800 600 1600 0)" = 0 ] || fail "the clock shows on the right monitor too"
# The desk's backgrounds are painted at idle priority; until then the outer monitors show the
# shipped ones, which end short of them.
wait_until 240 "the forest painted over the left monitor" no_black_column 800 600 0 0
wait_until 5 "the forest painted over the right monitor" no_black_column 800 600 1600 0
forest_at 0 0 800 600
forest_at 1600 0 800 600
[ "$(middle_scene)" = 1 ] || fail "the middle monitor lost the waterfall once the desk was painted"
import -window root "$shots/spread.png"

term_ends "spread across the monitors"

# -span for one run, whatever the setting; without either, each monitor shows its own waterfall.
sed -i 's/^SpanMonitors=1/SpanMonitors=0/' "$SETTINGS"
start_app /s -span
WIN=$(wait_window "$TITLE") || fail "-span: no window; stderr: $(err)"
wait_until 10 "the scene on the middle monitor with -span" expect_scene 800 0 800 600
wait_until 10 "the forest on the left monitor with -span" no_black_column 800 600 0 0
[ "$(yellow_at 800 600 0 0)" = 0 ] || fail "-span: the clock shows on the left monitor"
term_ends "-span"
start_shown /s
wait_until 10 "each monitor its own clock" eval '[ "$(yellow_at 800 120 0 0)" = 1 ] && [ "$(yellow_at 800 120 1600 0)" = 1 ]'
term_ends "each monitor its own"

# Real outputs, one marked primary by RandR (Xorg's dummy driver, where it runs): the windows stay,
# not made again and again as if the monitors kept changing.
saver_windows() { xdotool search --classname larkspill | sort | tr '\n' ' '; }
kill "$XVFB_PID"
if start_two_monitor_display; then
  xrandr --listmonitors | grep -q '\*' || fail "the dummy driver marked no monitor primary"
  start_shown /s
  wait_until 10 "the scene on the first monitor" expect_scene 0 0 800 600
  before=$(saver_windows)
  runs_after 2
  [ "$(saver_windows)" = "$before" ] || fail "the windows were made again with the monitors unchanged"
  term_ends "with a primary monitor"
else
  echo "a primary monitor not tried: Xorg with the dummy driver cannot run here"
fi
echo "spread monitors: ok"
