#!/usr/bin/env bash
# Every way the saver ends, seen from outside: the status says what happened, and nothing of the
# saver is left on the screen.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/stand_in_host.sh"
: "${LARKSPILL_PARTIAL:?LARKSPILL_PARTIAL must name the program built on a partial asset folder}"
: "${LARKSPILL_ASSETS:?LARKSPILL_ASSETS must name the asset folder}"
start_display 800x600x24
title="Larkspill -  Get DirectX"

no_saver_window() {
  ! wait_window "$title" 1 >/dev/null || fail "$1: the saver's window is still there"
}

# A signal: the saver ends in order (its sound device closed) and then by that same signal, as
# its parent sees it.
for signal in INT HUP TERM; do
  rm -f "$WORK/audio.raw"
  start_app_traced /s
  wait_window "$title" >/dev/null || fail "SIG$signal: no window"
  # The sound opens after the first frame: the signal comes once it plays.
  for i in $(seq 1 100); do
    [ -s "$WORK/audio.raw" ] && break
    sleep 0.1
  done
  kill -"$signal" "$APP_PID"
  wait_exit "$TRACER_PID" 2
  tail -n 1 "$WORK/trace" | grep -q "+++ killed by SIG$signal +++" ||
    fail "SIG$signal: not ended by the signal: $(tail -n 1 "$WORK/trace"); stderr: $(cat "$WORK/stderr")"
  no_saver_window "SIG$signal"
  others_can_grab "SIG$signal"
done
# The sounds stopped before the end: the audio output was closed before the signal was raised
# again. (With several threads strace may split a call into "<unfinished ...>" and
# "<... resumed>" lines.)
read -r fd closed raised < <(awk '
  /openat\(.*audio\.raw/ { if ($NF ~ /^[0-9]+$/) fd = $NF; else waiting = $1; next }
  waiting != "" && $1 == waiting && /<\.\.\. openat resumed>/ { fd = $NF; waiting = ""; next }
  fd != "" && !closed && $0 ~ ("close\\(" fd "[) ]") { closed = NR }
  /tgkill\(.*SIGTERM/ { raised = NR }
  END { print (fd == "" ? "none" : fd), closed + 0, raised + 0 }' "$WORK/trace")
[ "$fd" != none ] && [ "$closed" -gt 0 ] && [ "$raised" -gt "$closed" ] ||
  fail "SIGTERM: the audio output (fd $fd) was not closed before the signal was raised again"

# A picture that is missing, then one that is not a picture: the file is named, status 2.
partial="$(dirname "$LARKSPILL_PARTIAL")/partial-assets"
rm -rf "$partial"
mkdir -p "$partial"
find "$LARKSPILL_ASSETS" -maxdepth 1 -type f -exec cp {} "$partial"/ \;
rm "$partial/Flock5.BMP"
"$LARKSPILL_PARTIAL" /s 2>"$WORK/missing.err" && status=0 || status=$?
[ "$status" -eq 2 ] || fail "missing picture: status $status"
grep -q "$partial/Flock5.BMP" "$WORK/missing.err" || fail "missing picture not named: $(cat "$WORK/missing.err")"
cp "$LARKSPILL_ASSETS/Flock5.BMP" "$partial/"
head -c 300 /dev/urandom >"$partial/UK-02bgb.bmp"
"$LARKSPILL_PARTIAL" /s 2>"$WORK/garbage.err" && status=0 || status=$?
[ "$status" -eq 2 ] || fail "unreadable picture: status $status"
grep -q "$partial/UK-02bgb.bmp" "$WORK/garbage.err" || fail "unreadable picture not named"
no_saver_window "missing picture"
rm -rf "$partial"

# The display going away: status 3, sounds stopped, no abort.
start_app /s
wait_window "$title" >/dev/null || fail "lost display: no window"
sleep 0.5
kill "$XVFB_PID"
wait_exit "$APP_PID" 3
[ "$EXIT_STATUS" -eq 3 ] || fail "lost display: status $EXIT_STATUS"
grep -q "display went away" "$WORK/stderr" || fail "lost display: nothing said"
XVFB_PID=

# The X server gone at any moment of the start: status 3, or 4 while no display was open, each
# with its message; never Xlib's own end with status 1, never a saver running on unseen.
for delay in 0.005 0.03 0.1 0.2 0.3; do
  start_display 800x600x24
  start_app /s
  sleep "$delay"
  kill "$XVFB_PID"
  XVFB_PID=
  wait_exit "$APP_PID" 5
  case "$EXIT_STATUS" in
    3) grep -q "display went away" "$WORK/stderr" ;;
    4) grep -q "64K colors" "$WORK/stderr" ;;
    *) false ;;
  esac || fail "X server gone after $delay s: status $EXIT_STATUS: $(cat "$WORK/stderr")"
done
echo "end paths: ok"
