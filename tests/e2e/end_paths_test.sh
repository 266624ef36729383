#!/usr/bin/env bash
# Every way the saver ends, seen from outside: the status says what happened, and nothing of the
# saver is left on the screen.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/stand_in_host.sh"
: "${LARKSPILL_PARTIAL:?LARKSPILL_PARTIAL must name the program built on a partial asset folder}"
: "${LARKSPILL_ASSETS:?LARKSPILL_ASSETS must name the asset folder}"
title="Larkspill -  Get DirectX"

# No display, or one that cannot be opened: the saver's message and status 4 in every mode, and
# nothing runs on unseen (no sound written by SDL's disk driver).
for mode in /s -root /c; do
  for display in unset :987; do
    rm -f "$SDL_DISKAUDIOFILE"
    if [ "$display" = unset ]; then env_display=(env -u DISPLAY); else env_display=(env DISPLAY="$display"); fi
    "${env_display[@]}" timeout 10 "$LARKSPILL" $mode >"$WORK/out" 2>"$WORK/err" </dev/null && status=0 || status=$?
    [ "$status" -eq 4 ] || fail "$mode with DISPLAY $display: status $status; stderr: $(cat "$WORK/err")"
    if [ "$mode" = /c ]; then
      grep -q "settings dialog needs an X display" "$WORK/err" || fail "$mode with DISPLAY $display: $(cat "$WORK/err")"
    else
      grep -q "capable of displaying 64K colors" "$WORK/err" || fail "$mode with DISPLAY $display: $(cat "$WORK/err")"
    fi
    [ ! -e "$SDL_DISKAUDIOFILE" ] || fail "$mode with DISPLAY $display played sound"
  done
done

start_display 800x600x24

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

# A signal during start-up ends it as promptly as one while it runs.
for delay in 0.02 0.15; do
  start_app /s
  sleep "$delay"
  term_ends "SIGTERM after $delay s" 1
done

# A sound loader stuck in a system call (SDL's disk driver opening a FIFO nobody reads) does not
# keep the saver from ending by one SIGTERM within a second.
mkfifo "$WORK/audio.fifo"
SDL_DISKAUDIOFILE="$WORK/audio.fifo" start_app /s
wait_window "$title" >/dev/null || fail "stuck loader: no window"
sleep 1
term_ends "stuck loader" 1

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

# A picture whose header claims 30000 x 30000 pixels in 1 KB, and a FIFO in a picture's place:
# each ends the saver at once with status 2, the file named, using no more memory than usual.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
cp "$LARKSPILL_ASSETS/UK-02bgb.bmp" "$partial/"
printf "BM$(le32 1078)$(le32 0)$(le32 54)$(le32 40)$(le32 30000)$(le32 30000)\x01\x00\x20\x00$(le32 0)$(le32 0)$(le32 0)$(le32 0)$(le32 0)$(le32 0)" >"$partial/Bird3.BMP"
head -c 1024 /dev/zero >>"$partial/Bird3.BMP"
for case in "Bird3.BMP 30000 x 30000 pixels" "Flock5.BMP FIFO"; do
  set -- $case
  picture=$1
  shift
  if [ "$picture" = Flock5.BMP ]; then
    cp "$LARKSPILL_ASSETS/Bird3.BMP" "$partial/"
    rm "$partial/Flock5.BMP"
    mkfifo "$partial/Flock5.BMP"
  fi
  /usr/bin/time -f '%M' -o "$WORK/rss" "$LARKSPILL_PARTIAL" /s 2>"$WORK/stderr" &
  APP_PID=$!
  PIDS+=("$APP_PID")
  wait_exit "$APP_PID" 3
  [ "$EXIT_STATUS" -eq 2 ] || fail "$picture: status $EXIT_STATUS; stderr: $(cat "$WORK/stderr")"
  grep -q "$partial/$picture: .*$*" "$WORK/stderr" || fail "$picture not named: $(cat "$WORK/stderr")"
  peak=$(tail -n 1 "$WORK/rss")
  echo "$picture: peak memory $peak KB"
  [ "$peak" -lt 200000 ] || fail "$picture: peak memory $peak KB"
done
rm "$partial/Flock5.BMP"
cp "$LARKSPILL_ASSETS/Flock5.BMP" "$partial/"

# A wave whose header claims 4 GB of samples in 1 KB, and a FIFO in a wave's place: that sound is
# silent, the file named once, memory as usual; one SIGTERM ends the saver within a second.
printf '%s\n' "[System]" SetReg=2 "[one]" SoundOff=Never "[two]" SoundWater=0 SoundBirds=0 \
  SoundJungle=1 SoundEagle=0 | write_settings
for case in lying FIFO; do
  rm -f "$partial/jungle.wav" "$SDL_DISKAUDIOFILE"
  if [ "$case" = FIFO ]; then
    mkfifo "$partial/jungle.wav"
  else
    printf "RIFF$(le32 1060)WAVEfmt $(le32 16)\x01\x00\x02\x00$(le32 44100)$(le32 176400)\x04\x00\x10\x00data$(le32 4294967280)" >"$partial/jungle.wav"
    head -c 1024 /dev/urandom >>"$partial/jungle.wav"
  fi
  "$LARKSPILL_PARTIAL" /s >"$WORK/stdout" 2>"$WORK/stderr" &
  APP_PID=$!
  PIDS+=("$APP_PID")
  wait_window "$title" >/dev/null || fail "$case wave: no window; stderr: $(cat "$WORK/stderr")"
  for i in $(seq 1 50); do grep -q "jungle.wav" "$WORK/stderr" && break; sleep 0.1; done
  sleep 1
  expect_running "$APP_PID"
  peak=$(awk '/VmHWM/ {print $2}' "/proc/$APP_PID/status")
  term_ends "$case wave" 1
  [ "$(grep -c "cannot load sound $partial/jungle.wav: " "$WORK/stderr")" -eq 1 ] ||
    fail "$case wave not named once: $(cat "$WORK/stderr")"
  echo "$case wave: peak memory $peak KB"
  [ "$peak" -lt 200000 ] || fail "$case wave: peak memory $peak KB"
  [ -s "$SDL_DISKAUDIOFILE" ] || fail "$case wave: the sound device did not run"
  [ "$(tr -d '\000' <"$SDL_DISKAUDIOFILE" | head -c 1 | wc -c)" -eq 0 ] || fail "$case wave: not silent"
done
rm -rf "$partial" "$SETTINGS"

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

# Screens one or two pixels wide: the scene where there is room for it, black where there is none.
for screen in "1x1x24 0" "2x1x24 1"; do
  set -- $screen
  start_display "$1"
  start_app /s
  sleep 2
  expect_running "$APP_PID"
  p=$(pixel 0 0)
  if [ "$2" = 1 ]; then [ "$p" != "0 0 0" ] || fail "$1: nothing drawn"; else [ "$p" = "0 0 0" ] || fail "$1: $p"; fi
  [ "$1" = 1x1x24 ] || [ "$(pixel 1 0)" = "0 0 0" ] || fail "$1: no black beside the scene"
  term_ends "$1" 1
  kill "$XVFB_PID"
  wait "$XVFB_PID" 2>/dev/null || true
done

# An 8-bit palette display cannot show the scene: the saver's message box, status 4 once closed.
start_display 800x600x8
start_app /s
box=
for i in $(seq 1 100); do
  box=$(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "Error opening Direct Draw!".*/\1/p')
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || fail "8-bit: no message box; stderr: $(cat "$WORK/stderr")"
xdotool key --window "$box" Return
wait_exit "$APP_PID" 3
[ "$EXIT_STATUS" -eq 4 ] || fail "8-bit: status $EXIT_STATUS"
grep -q "palette" "$WORK/stderr" || fail "8-bit: nothing said: $(cat "$WORK/stderr")"
echo "end paths: ok"
