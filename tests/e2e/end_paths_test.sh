#!/usr/bin/env bash
# Every way the saver ends: the status says what happened, and nothing of it is left on the screen.
source "$(dirname "$0")/lib.sh"
: "${LARKSPILL_PARTIAL:?LARKSPILL_PARTIAL must name the program built on a partial asset folder}"

# No display, or one that cannot be opened: its message and status 4 in every mode, and no sound.
for mode in "/s|64K colors" "-root|64K colors" "/c|settings dialog needs an X display"; do
  for display in "-u DISPLAY" DISPLAY=:987; do
    env $display timeout 10 "$LARKSPILL" ${mode%|*} 2>"$WORK/err" </dev/null && status=0 || status=$?
    [ "$status" -eq 4 ] && grep -q "${mode#*|}" "$WORK/err" && [ ! -e "$SDL_DISKAUDIOFILE" ] ||
      fail "$mode, $display: status $status, sound $(ls "$SDL_DISKAUDIOFILE" 2>&1); $(cat "$WORK/err")"
  done
done

start_display 800x600x24
no_saver_window() { ! wait_window "$TITLE" 1 >/dev/null || fail "$1: the saver's window is still there"; }

# A signal once the sound plays: the saver ends in order, then by that same signal, as strace sees.
for signal in INT HUP TERM; do
  rm -f "$SDL_DISKAUDIOFILE"
  bg strace -f --seccomp-bpf -q -e trace=openat,close,tgkill,kill -o "$WORK/trace" "$LARKSPILL" /s 2>"$WORK/stderr"
  tracer=$!
  wait_window "$TITLE" >/dev/null && until_ok 10 test -s "$SDL_DISKAUDIOFILE" || fail "SIG$signal: no window or sound"
  kill -"$signal" "$(pgrep -P "$tracer")"
  wait_exit "$tracer" 2
  tail -n 1 "$WORK/trace" | grep -q "+++ killed by SIG$signal +++" || fail "SIG$signal: $(tail -n 1 "$WORK/trace"); $(err)"
  no_saver_window "SIG$signal"
  others_can_grab "SIG$signal"
done
# The audio output was closed before SIGTERM was raised again (a call may be split in two lines).
awk '
  /openat\(.*audio\.raw/ { if ($NF ~ /^[0-9]+$/) fd = $NF; else waiting = $1; next }
  waiting != "" && $1 == waiting && /<\.\.\. openat resumed>/ { fd = $NF; waiting = ""; next }
  fd != "" && !closed && $0 ~ ("close\\(" fd "[) ]") { closed = NR }
  /tgkill\(.*SIGTERM/ { raised = NR }
  END { exit !(fd != "" && closed && raised > closed) }' "$WORK/trace" ||
  fail "SIGTERM: the audio output was not closed before the signal was raised again"

# A signal during start-up, or while the sound loader is stuck opening a FIFO, ends it as promptly.
mkfifo "$WORK/audio.fifo"
stuck_on_fifo() { grep -qs wait_for_partner /proc/"$APP_PID"/task/*/wchan; }  # a FIFO open with no reader
for delay in 0.02 0.15 stuck; do
  if [ $delay = stuck ]; then SDL_DISKAUDIOFILE="$WORK/audio.fifo" start_shown /s; wait_until 10 "the sound loader stuck on the FIFO" stuck_on_fifo; else start_app /s; sleep $delay; fi
  term_ends "SIGTERM after $delay" 1
done

# A sound device slow to close (3 s a buffer, like a sound server that stopped answering) does not
# hold the screen: clicked just after buffers went out, the window goes at once, the saver after.
# (The file grows two buffers at a time, as stdio writes it.)
rm -f "$SDL_DISKAUDIOFILE"
SDL_DISKAUDIODELAY=3000 start_shown /s
until_ok 10 test -s "$SDL_DISKAUDIOFILE" || fail "slow sound: no sound; $(err)"
written=$(stat -c %s "$SDL_DISKAUDIOFILE")
until_ok 10 eval '[ "$(stat -c %s "$SDL_DISKAUDIOFILE")" != "$written" ]' || fail "slow sound: no more written"
xdotool click 1
until_ok 2 eval '! find_window "$TITLE" >/dev/null' || fail "slow sound: the window stayed while the sound closed"
ends_with 0 "slow sound" 5

# A picture missing, garbage, claiming 30000 x 30000 pixels in 1 KB, a FIFO: 2, named, usual memory.
partial="$(dirname "$LARKSPILL_PARTIAL")/partial-assets"
rm -rf "$partial" && mkdir -p "$partial" && find "$LARKSPILL_ASSETS" -maxdepth 1 -type f -exec cp {} "$partial"/ \;
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
for case in "Flock5.BMP missing" "UK-02bgb.bmp garbage" "Bird3.BMP 30000 x 30000 pixels" "Flock5.BMP FIFO"; do
  set -- $case
  rm "$partial/$1"
  case $2 in
    garbage) head -c 300 /dev/urandom >"$partial/$1" ;;
    FIFO) mkfifo "$partial/$1" ;;
    30000) { printf "BM$(le32 1078)$(le32 0)$(le32 54)$(le32 40)$(le32 30000)$(le32 30000)\x01\x00\x20\x00$(le32 0)$(le32 0)$(le32 0)$(le32 0)$(le32 0)$(le32 0)"
      head -c 1024 /dev/zero; } >"$partial/$1" ;;
  esac
  bg /usr/bin/time -f '%M' -o "$WORK/rss" "$LARKSPILL_PARTIAL" /s 2>"$WORK/stderr"
  APP_PID=$!
  ends_with 2 "$case" 3
  want="$partial/$1"
  [[ $2 =~ missing|garbage ]] || want+=": .*${case#* }"
  grep -q "$want" "$WORK/stderr" || fail "$case: not named: $(err)"
  [ "$(tail -n 1 "$WORK/rss")" -lt 200000 ] || fail "$case: peak memory $(tail -n 1 "$WORK/rss") KB"
  rm -f "$partial/$1" && cp "$LARKSPILL_ASSETS/$1" "$partial/"
done
no_saver_window "bad pictures"

# A wave claiming 4 GB of samples in 1 KB, or a FIFO: silent, named once, memory as usual.
printf '%s\n' "[System]" SetReg=2 "[one]" SoundOff=Never "[two]" SoundWater=0 SoundBirds=0 \
  SoundJungle=1 SoundEagle=0 | write_settings
for case in lying FIFO; do
  rm -f "$partial/jungle.wav" "$SDL_DISKAUDIOFILE"
  if [ "$case" = FIFO ]; then mkfifo "$partial/jungle.wav"; else
    { printf "RIFF$(le32 1060)WAVEfmt $(le32 16)\x01\x00\x02\x00$(le32 44100)$(le32 176400)\x04\x00\x10\x00data$(le32 4294967280)"
      head -c 1024 /dev/urandom; } >"$partial/jungle.wav"
  fi
  LARKSPILL=$LARKSPILL_PARTIAL start_shown /s
  until_ok 5 grep -q "jungle.wav" "$WORK/stderr" || true
  runs_after 1
  peak=$(awk '/VmHWM/ {print $2}' "/proc/$APP_PID/status")
  term_ends "$case wave" 1
  [ "$(grep -c "cannot load sound $partial/jungle.wav: " "$WORK/stderr")" -eq 1 ] || fail "$case wave not named once: $(err)"
  [ "$peak" -lt 200000 ] || fail "$case wave: peak memory $peak KB"
  [ -s "$SDL_DISKAUDIOFILE" ] && [ -z "$(tr -d '\000' <"$SDL_DISKAUDIOFILE" | head -c 1)" ] ||
    fail "$case wave: the sound device did not run, or was not silent"
done
rm -rf "$partial" "$SETTINGS"

# The X server gone at any moment: 3 (4 before a display opened), said, never Xlib's 1, nothing left.
# The preview in a pane says it in the same one line.
for delay in 0.005 0.03 0.1 0.2 0.3 window preview; do
  start_display 800x600x24
  if [ $delay = window ]; then start_shown /s; wait_until 10 "the scene" expect_scene 0 0 800 600
  elif [ $delay = preview ]; then start_host 200 150 Pane; start_shown "/p$HOST_DEC" Preview
  else start_app /s; sleep "$delay"; fi
  kill "$XVFB_PID"
  wait_exit "$APP_PID" 5
  case "$EXIT_STATUS" in
    3) [ $delay != preview ] || [ "$(grep -c '^larkspill:' "$WORK/stderr")" -eq 1 ] &&
       grep -q "display went away" "$WORK/stderr" ;;
    4) [ $delay != window ] && grep -q "64K colors" "$WORK/stderr" ;;
    *) false ;;
  esac || fail "X server gone after $delay: status $EXIT_STATUS: $(err)"
done

# Screens one or two pixels wide: the forest scaled down to fill them.
for screen in 1x1x24 2x1x24; do
  start_display "$screen"
  start_app /s
  runs_after 2
  [ "$(pixel 0 0)" != "0 0 0" ] || fail "$screen: nothing drawn"
  term_ends "$screen" 1
done

# 15- and 16-bit displays have colours enough: the scene shows.
for depth in 15 16; do
  start_display 800x600x$depth
  start_app /s
  runs_after 2
  ! grep -q "cannot open the display" "$WORK/stderr" && [ "$(pixel 100 500)" != "0 0 0" ] ||
    fail "$depth-bit: no scene: $(err)"
  term_ends "$depth-bit" 1
done

# An 8-bit palette display cannot show the scene: the saver's message box, status 4 once closed.
start_display 800x600x8
start_app /s
box_id() { xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "Error opening Direct Draw!".*/\1/p' | grep .; }
until_ok 20 box_id >/dev/null || fail "8-bit: no message box; stderr: $(err)"
xdotool key --window "$(box_id)" Return
ends_with 4 "8-bit" 3
grep -q "palette" "$WORK/stderr" || fail "8-bit: nothing said: $(err)"
echo "end paths: ok"
