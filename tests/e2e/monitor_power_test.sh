#!/usr/bin/env bash
# The monitor's power through every way the saver ends: DPMS's time-outs, held off while it runs,
# come back as they were; DPMS the user switched off stays off; a host's saver leaves it alone.
# No X server here has DPMS, so the program runs with a stand-in that keeps DPMS in a file.
source "$(dirname "$0")/lib.sh"
: "${DPMS_STAND_IN_LIBRARY:?DPMS_STAND_IN_LIBRARY must name the DPMS stand-in library}"
export DPMS_STAND_IN="$WORK/dpms"
mkdir -p "$DPMS_STAND_IN"
# The program with the stand-in, under its own name (so the test's own tools keep the real DPMS).
# A sanitized build wants its runtime first among the libraries: told not to mind the stand-in.
printf '#!/bin/sh\nASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" LD_PRELOAD=%s exec %s "$@"\n' \
  "$DPMS_STAND_IN_LIBRARY" "$LARKSPILL" >"$WORK/larkspill-dpms"
chmod +x "$WORK/larkspill-dpms"
LARKSPILL="$WORK/larkspill-dpms"
start_display 800x600x24

# dpms_is ENABLED: a fresh server state (time-outs 600 s), with DPMS in force or not, no requests yet.
dpms_is() { echo "$1 600 600 600 0" >"$DPMS_STAND_IN/state"; : >"$DPMS_STAND_IN/requests"; }
requests() { tr '\n' ' ' <"$DPMS_STAND_IN/requests" | sed 's/ $//'; }
# expect WHAT STATE REQUESTS: the server's DPMS state ("enabled standby suspend off level") and the
# requests made since dpms_is.
expect() {
  [ "$(cat "$DPMS_STAND_IN/state")" = "$2" ] && [ "$(requests)" = "$3" ] ||
    fail "$1: DPMS \"$(cat "$DPMS_STAND_IN/state")\" after \"$(requests)\", not \"$2\" after \"$3\"; $(err)"
}
# The saver up, DPMS's time-outs held off as PwrSave=1 (the first-run value) asks.
saver_holds_off() {
  start_shown /s
  until_ok 10 grep -q disable "$DPMS_STAND_IN/requests" || fail "$1: DPMS time-outs not held off: $(requests); $(err)"
  expect "$1, while it runs" "0 600 600 600 0" "disable 0"
}

for end in key click SIGTERM locker; do
  dpms_is 1
  saver_holds_off "$end"
  case $end in
    key) xdotool key space; ends_with 0 "$end" ;;
    click) xdotool click 1; ends_with 0 "$end" ;;
    SIGTERM) term_ends "$end" ;;
    locker) bg i3lock -n -c 00ff00; locker=$!; ends_with 0 "$end" 3; kill "$locker"; wait "$locker" 2>/dev/null || true ;;
  esac
  expect "$end" "1 600 600 600 0" "disable 0 enable 1"
done

# DPMS the user switched off stays off, and nothing is asked of it; so with PwrSave=0.
dpms_is 0
start_shown /s
runs_after 2
term_ends "DPMS off"
expect "DPMS switched off by the user" "0 600 600 600 0" ""
printf '%s\n' "[System]" SetReg=2 "[Startup]" PwrSave=0 | write_settings
dpms_is 1
start_shown /s
runs_after 2
term_ends "PwrSave=0"
expect "PwrSave=0" "1 600 600 600 0" ""
rm "$SETTINGS"

# dialog_start: the dialog opened and closed again.
dialog_start() { start_shown /c "$DIALOG"; kill -TERM "$APP_PID"; wait "$APP_PID" 2>/dev/null || true; }

# Killed, the saver cannot put them back: the next start of the dialog does, or of the saver, which
# then holds them off for its own run and puts them back at its end. Once only: DPMS the user
# switches off afterwards stays off.
for next in dialog saver; do
  dpms_is 1
  saver_holds_off "SIGKILL, then the $next"
  kill -KILL "$APP_PID"; wait "$APP_PID" 2>/dev/null || true
  expect "SIGKILL" "0 600 600 600 0" "disable 0"
  if [ $next = dialog ]; then
    dialog_start
    expect "SIGKILL, then the dialog" "1 600 600 600 0" "disable 0 enable 1"
  else
    start_shown /s
    until_ok 10 eval '[ "$(requests)" = "disable 0 enable 1 disable 0" ]' || fail "SIGKILL, then the saver: $(requests); $(err)"
    term_ends "SIGKILL, then the saver"
    expect "SIGKILL, then the saver" "1 600 600 600 0" "disable 0 enable 1 disable 0 enable 1"
  fi
  dpms_is 0
  dialog_start
  expect "a later start after SIGKILL, then the $next" "0 600 600 600 0" ""
done

# The X server gone: its DPMS state went with it, and a new server's (switched off) is left alone.
dpms_is 1
saver_holds_off "X server gone"
kill "$XVFB_PID"
wait_exit "$APP_PID" 5
[ "$EXIT_STATUS" -eq 3 ] || fail "X server gone: status $EXIT_STATUS; $(err)"
start_display 800x600x24
dpms_is 0
dialog_start
expect "a new X server" "0 600 600 600 0" ""

# Under a host the host owns the monitor's power: nothing is asked of DPMS, not even to put back
# what a killed saver left (the host's own power settings may be why it is off).
dpms_is 1
saver_holds_off "killed before a host's saver"
kill -KILL "$APP_PID"; wait "$APP_PID" 2>/dev/null || true
: >"$DPMS_STAND_IN/requests"
start_host 400 300
start_app --window-id "$HOST_HEX"
wait_drawn 200 150
term_ends "under a host"
expect "under a host" "0 600 600 600 0" ""
echo "monitor power: ok"
