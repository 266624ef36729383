#!/usr/bin/env bash
# With every monitor dark (PwrSave 0) the saver composes and shows nothing and wakes about once a
# second, while its scene's time goes on; the monitor back on gets a whole frame with the creatures
# where time put them. The X server has no power management: a file stands for the monitor's power.
source "$(dirname "$0")/lib.sh"
start_display 800x600x24
off="$WORK/monitor-off"
printf '%s\n' "[One]" BirdTimer=Always "[Startup]" PwrSave=0 "[System]" SetReg=2 | write_settings
export LARKSPILL_TRACE=1 LARKSPILL_MONITOR_OFF_FILE="$off"
start_shown /s
runs_after 2
wakes() { awk '/^voluntary_ctxt_switches/ { v = $2 } /^nonvoluntary_ctxt_switches/ { n = $2 } END { print v + n }' "/proc/$APP_PID/status"; }
cpu_ns() { awk '{ print $1 }' "/proc/$APP_PID/schedstat"; }
touch "$off"
sleep 2  # seen dark at the next look, within a second
w0=$(wakes) c0=$(cpu_ns) t0=$(date +%s%N)
sleep 6  # the stretch measured
w1=$(wakes) c1=$(cpu_ns) t1=$(date +%s%N)
# A look a second and the odd event: well under the hundreds of a frame-paced loop.
[ $((w1 - w0)) -le 12 ] || fail "$((w1 - w0)) wake-ups in 6 s of a dark screen"
awk -v c=$((c1 - c0)) -v t=$((t1 - t0)) 'BEGIN { exit !(c / t < 0.005) }' ||
  fail "the saver took $(( (c1 - c0) / 1000000 )) ms of CPU in 6 s of a dark screen"
# The frame that was up goes on being shown as it was: nothing new was sent.
import -window root "$shots/dark.png"
rm "$off"
sleep 1.5  # the next look at the monitor, and a frame after it
import -window root "$shots/back.png"
[ "$(compare -metric AE "$shots/dark.png" "$shots/back.png" null: 2>&1 || true)" != 0 ] ||
  fail "the screen did not change when the monitor came back"
expect_scene 0 0 800 600
runs_after 1
# Dark again, an end signal is answered at once, not at the next look: the orderly end prints the
# trace, which an end forced by the deadline would not.
touch "$off"
sleep 2.5  # seen dark at the next look, and well into the wait for the one after
term_ends "in a dark stretch"
trace=$(cat "$WORK/stderr")
dark=$(awk '/larkspill-trace dark/ { print $3, $6, $9 }' <<<"$trace")
read -r dark_s stretches dark_frames <<<"$dark"
[ "$stretches" = 2 ] && [ "$dark_frames" = 0 ] || fail "dark stretches and frames in them: $dark"
awk -v d="$dark_s" 'BEGIN { exit !(d > 8 && d < 16) }' || fail "dark for $dark_s s, not 9 to 14"
# Time went on in the dark: between the first frame and the last (the first dark stretch among
# them) the flock, which never rests here, flew its 30 pixels a second, frames or none; frames
# came only in the light.
awk -v d="$dark_s" '/larkspill-trace seconds/ { s = $3 } /larkspill-trace frames/ { f = $3 }
  /larkspill-trace sprite 6 / { flock = $11 }
  END {
    if (f > (s - d + 4) * 62) { print "frames " f " in " s " s"; exit 1 }
    if (flock < 29 * s || flock > 31 * (s + 4)) { print "flock " flock " px in " s " s"; exit 1 }
  }' <<<"$trace" || fail "time did not go on in the dark: $(grep -E 'seconds|frames|sprite 6 ' <<<"$trace" | tr '\n' ' ')"
echo "ok: dark $dark_s s, $((w1 - w0)) wake-ups and $(( (c1 - c0) / 1000 )) us of CPU in 6 s"
