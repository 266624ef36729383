#!/usr/bin/env bash
# On a Wayland compositor the frame callbacks pace the saver, and a compositor that stops sending
# them (sway stopped, as a hung one or outputs it turned off would) leaves the saver dark: nothing
# composed, a wake-up a second at most, and an end on a key or a signal as ever. The callbacks back,
# the scene is shown again.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/sway.sh"
start_sway 'output HEADLESS-1 resolution 800x600 position 0 0'
start_hands

start_saver() {
  bg "${nobody[@]}" SDL_AUDIODRIVER=dummy LARKSPILL_TRACE=1 "$LARKSPILL" /s >"$WORK/stdout" 2>"$WORK/stderr"
  APP_PID=$!
}
shot() { as_nobody grim -s 1 "$WORK/wl-home/wl.png" && cp "$WORK/wl-home/wl.png" "$shots/wayland-dark-$1.png"; }
shown() { shot "$1" && [ "$(convert "$shots/wayland-dark-$1.png" -format '%k' info:)" -gt 1000 ]; }
wakes() { awk '/^voluntary_ctxt_switches/ { v = $2 } /^nonvoluntary_ctxt_switches/ { n = $2 } END { print v + n }' "/proc/$APP_PID/status"; }
cpu_ns() { awk '{ print $1 }' "/proc/$APP_PID/schedstat"; }
# dark_line: "seconds stretches frames" of the trace's dark line, once the saver has ended.
dark_line() { awk '/larkspill-trace dark/ { print $3, $6, $9 }' "$WORK/stderr"; }

start_saver
wait_until 10 "the scene" shown before
runs_after 2

kill -STOP "$SWAY_PID"
sleep 1.5  # dark a second after the last frame sent
w0=$(wakes) c0=$(cpu_ns) t0=$(date +%s%N)
sleep 4  # the stretch measured
w1=$(wakes) c1=$(cpu_ns) t1=$(date +%s%N)
kill -CONT "$SWAY_PID"
[ $((w1 - w0)) -le 6 ] || fail "$((w1 - w0)) wake-ups in 4 s of a compositor sending no frame callbacks"
awk -v c=$((c1 - c0)) -v t=$((t1 - t0)) 'BEGIN { exit !(c / t < 0.002) }' ||
  fail "the saver took $(( (c1 - c0) / 1000000 )) ms of CPU in 4 s of a compositor sending no frame callbacks"
# Back: the scene moves on the screen again.
sleep 1  # the callbacks held back arrive, and the first frame back
shot back-1
wait_until 5 "the scene moving again" eval 'sleep 0.3; shot back-2; ! cmp -s "$shots/wayland-dark-back-1.png" "$shots/wayland-dark-back-2.png"'
hand key
ends_with 0 "a key after a dark stretch"
read -r dark_s stretches dark_frames <<<"$(dark_line)"
[ "$stretches" = 1 ] && [ "$dark_frames" = 0 ] || fail "dark stretches and frames in them: $(dark_line)"
awk -v d="$dark_s" 'BEGIN { exit !(d > 4 && d < 7) }' || fail "dark for $dark_s s, not 4 to 7"
# In the light, frames come as the compositor shows them: its 60 a second, not more.
awk -v d="$dark_s" '/larkspill-trace seconds/ { s = $3 } /larkspill-trace frames/ { f = $3 }
  END { exit !(f <= (s - d) * 62 + 5 && f >= (s - d) * 30) }' "$WORK/stderr" ||
  fail "frames not at the compositor's pace: $(grep -E 'trace (seconds|frames|dark)' "$WORK/stderr" | tr '\n' ' ')"

# Stopped compositor, then SIGTERM: answered at once, not at the next look, with the trace.
start_saver
wait_until 10 "the scene" shown again
kill -STOP "$SWAY_PID"
sleep 2  # dark by now: a second after the last frame sent
kill -TERM "$APP_PID"
ends_with 143 "SIGTERM with the compositor stopped"
kill -CONT "$SWAY_PID"
read -r dark_s stretches dark_frames <<<"$(dark_line)"
[ "$stretches" = 1 ] && [ "$dark_frames" = 0 ] || fail "stopped compositor, then SIGTERM: $(dark_line)"
echo "wayland dark: ok, $((w1 - w0)) wake-ups and $(( (c1 - c0) / 1000 )) us of CPU in 4 s"
