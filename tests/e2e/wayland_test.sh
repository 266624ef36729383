#!/usr/bin/env bash
# Larkspill as a native client of a real Wayland compositor: sway, headless, with two outputs (one
# at scale 2), input from a virtual keyboard and pointer, swaylock as the locker. Screenshots leave
# the cursor out, so the saver's own requests (WAYLAND_DEBUG) say whether it hides the pointer.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/sway.sh"
start_sway 'output HEADLESS-1 resolution 800x600 position 0 0' \
  'output HEADLESS-2 resolution 1600x1200 position 800 0 scale 2' 'output HEADLESS-3 resolution 640x480 position 1600 0' \
  'bar {' 'position top' 'status_command echo panel' 'colors {' 'background #ff00ff' 'statusline #ff00ff' '}' '}'
as_nobody swaymsg create_output >/dev/null
until_ok 5 eval '[ "$(as_nobody swaymsg -t get_outputs | grep -c "\"name\": \"HEADLESS")" -eq 2 ]' || fail "no second output"
start_hands

start_saver() {  # [VARIABLE=VALUE...] for the saver
  rm -f "$WORK/wl-home/audio.raw"
  bg "${nobody[@]}" "$@" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/wl-home/audio.raw" "$LARKSPILL" /s >"$WORK/stdout" 2>"$WORK/stderr"
  APP_PID=$!
  until_ok 10 test -s "$WORK/wl-home/audio.raw" || fail "the saver did not start: $(err)"
}
shot() { as_nobody grim -s 1 "$WORK/wl-home/wl.png" && cp "$WORK/wl-home/wl.png" "$WORK/wl.png" && cp "$WORK/wl.png" "$shots/wayland-$1.png"; }
# scene_at X Y W H: that part of the last shot shows the scene: many colours, not black.
scene_at() {
  local figures
  figures=$(convert "$WORK/wl.png" -crop "$3x$4+$1+$2" +repage -format '%k %[fx:int(mean*1000)]' info:)
  [ "${figures% *}" -gt 1000 ] && [ "${figures#* }" -gt 100 ] || fail "no scene at $3x$4+$1+$2: $figures"
}

# green: the last shot's first output is swaylock's green.
green() { [ "$(convert "$WORK/wl.png" -crop 800x600+0+0 -fill white -opaque '#00ff00' -fill black +opaque white -format '%[fx:int(mean*100)]' info:)" -ge 90 ]; }

# Both outputs show the scene; a window opened later stays behind it, and a key ends it.
start_saver
wait_until 10 "the scene on both outputs" eval 'shot started && scene_at 0 0 800 600 && scene_at 800 0 800 600'
bg "${nobody[@]}" foot -o colors.background=ff0000 -o main.font=monospace:size=40 sleep infinity
wait_until 10 "foot's window" eval 'as_nobody swaymsg -t get_tree | grep -qF "\"app_id\": \"foot\""'
shot windows
scene_at 0 0 800 600
scene_at 800 0 800 600
[ "$(convert "$WORK/wl.png" -crop 800x600+0+0 -fill black +opaque '#ff0000' -fill white -opaque '#ff0000' -format '%[fx:int(mean*w*h)]' info:)" -eq 0 ] ||
  fail "the later window shows over the scene"
hand key
ends_with 0 "a key"

# Over full-screen windows too: one that was full screen before it, or went full screen after it;
# over the panel (swaybar, on the outputs without that window), not beside it.
# The scale-2 output shows the whole scene at its place and size, as the scale-1 one does.
red_on_screen() { convert "$WORK/wl.png" -fill black +opaque '#ff0000' -fill white -opaque '#ff0000' -format '%[fx:int(mean*w*h)]' info:; }
foot_full_screen() { as_nobody swaymsg -t get_tree | grep -q '"fullscreen_mode": 1'; }
as_nobody swaymsg '[app_id=foot] fullscreen enable' >/dev/null
wait_until 10 "foot full screen" eval 'foot_full_screen && shot fullscreen-before && [ "$(red_on_screen)" -gt 1000 ]'
panel_on_screen() { convert "$WORK/wl.png" -fill black +opaque '#ff00ff' -fill white -opaque '#ff00ff' -format '%[fx:int(mean*w*h)]' info:; }
[ "$(panel_on_screen)" -gt 1000 ] || fail "no panel (swaybar) to test with"
start_saver
wait_until 10 "the scene on the first output" eval 'shot over-fullscreen && scene_at 0 0 800 600'
[ "$(red_on_screen)" -eq 0 ] || fail "a window full screen before the saver shows over it"
[ "$(panel_on_screen)" -eq 0 ] || fail "the panel shows beside the saver"
difference=$(convert "$WORK/wl.png" -crop 800x600+0+0 +repage -resize '40x30!' \( "$WORK/wl.png" -crop 800x600+800+0 +repage -resize '40x30!' \) \
  -compose difference -composite -format '%[fx:int(mean*1000)]' info:)
[ "$difference" -lt 40 ] || fail "the scale-2 output does not show the scene as the scale-1 one does (difference $difference)"
term_ends "over a full-screen window"
as_nobody swaymsg '[app_id=foot] fullscreen disable' >/dev/null
start_saver
wait_until 10 "the scene" eval 'shot before-fullscreen && scene_at 0 0 800 600'
as_nobody swaymsg '[app_id=foot] fullscreen enable' >/dev/null
wait_until 10 "foot full screen" foot_full_screen
shot fullscreen-after
[ "$(red_on_screen)" -eq 0 ] || fail "a window gone full screen after the saver shows over it"
term_ends "a window gone full screen"

# An output added while it runs is covered; the MouseSens-th pointer move (4) ends it.
start_saver
wait_until 10 "the scene" eval 'shot before-added && scene_at 0 0 800 600'
as_nobody swaymsg create_output >/dev/null
wait_until 10 "the scene on the added output" eval 'shot added && scene_at 1600 0 640 480'
shot added
scene_at 1600 0 640 480
for move in 1 2 3; do hand move 5 5; done
runs_after 0.5
hand move 5 5
ends_with 0 "the fourth pointer move"

# The pointer on it gets no cursor image at any entry (the outputs unchanged, which hide it again
# themselves). A button ends it, and so does the wheel turned any way; so does SIGTERM, by the signal.
start_saver WAYLAND_DEBUG=client
hand move 5 5
entries() { grep -c 'wl_pointer@[0-9]*\.enter(' "$WORK/stderr" || true; }
hidden() { grep -c -- '-> wl_pointer@[0-9]*\.set_cursor([0-9]*, nil, 0, 0)' "$WORK/stderr" || true; }
wait_until 5 "the cursor hidden on the saver" eval '[ "$(entries)" -ge 1 ] && [ "$(hidden)" -ge "$(entries)" ]'
shown=$(grep -- '-> wl_pointer@[0-9]*\.set_cursor(' "$WORK/stderr" | grep -v ', nil, 0, 0)' || true)
[ -z "$shown" ] || fail "the saver set a cursor image: $shown"
hand button
ends_with 0 "a button"
for direction in down up left right; do
  start_saver
  hand wheel $direction
  ends_with 0 "the wheel turned $direction"
done
start_saver
term_ends "SIGTERM"

# swaylock started over it takes the screen: the saver steps aside, the locker stays.
start_saver
wait_until 10 "the scene" eval 'shot before-lock && scene_at 0 0 800 600'
bg "${nobody[@]}" swaylock -c 00ff00
LOCKER=$!
ends_with 0 "swaylock over the saver" 2
sleep 1  # the locker must still run a second later: an absence, nothing to wait for
kill -0 "$LOCKER" 2>/dev/null || fail "swaylock did not hold the screen"
kill -KILL "$LOCKER"

# Started under swaylock: it ends within about a second, before any sound.
bg "${nobody[@]}" swaylock -c 00ff00
LOCKER=$!
wait_until 10 "swaylock's screen" eval 'shot locked && green'
rm -f "$WORK/wl-home/audio.raw"
bg "${nobody[@]}" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/wl-home/audio.raw" "$LARKSPILL" /s >"$WORK/stdout" 2>"$WORK/stderr"
APP_PID=$!
ends_with 0 "the saver under swaylock" 2
[ ! -e "$WORK/wl-home/audio.raw" ] || fail "the saver played under swaylock"
kill -KILL "$LOCKER"

# The settings dialog with only a Wayland display: shown on it, never an abort.
bg "${nobody[@]}" QT_QPA_PLATFORM= "$LARKSPILL" /c >"$WORK/stdout" 2>"$WORK/stderr"
APP_PID=$!
until_ok 10 eval 'as_nobody swaymsg -t get_tree | grep -qF "\"name\": \"$DIALOG\""' || fail "/c showed no dialog on Wayland: $(err)"
term_ends "the dialog on Wayland"

# The compositor going away: the lost display's status and one line saying so.
start_saver
kill -KILL "$SWAY_PID"
ends_with 3 "the compositor gone"
[ "$(grep -c '^larkspill:' "$WORK/stderr")" -eq 1 ] && grep -q 'Wayland display went away' "$WORK/stderr" ||
  fail "the compositor gone: not one line saying so: $(err)"
echo "wayland: ok"
