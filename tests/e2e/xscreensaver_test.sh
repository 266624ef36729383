#!/usr/bin/env bash
# The real xscreensaver on two monitors: a Larkspill showing the scene on each, one playing, none left.
source "$(dirname "$0")/lib.sh"
start_two_monitor_display || { echo "SKIPPED: Xorg with the dummy driver cannot run here"; exit 77; }
unset DBUS_SESSION_BUS_ADDRESS  # startx and xscreensaver: no session bus

# xscreensaver finds savers on PATH; its own user file lists Larkspill as the one to show.
start_xscreensaver 'mode:\tone' 'selected:\t0' 'timeout:\t0:30:00' 'lock:\tFalse' 'programs:\t"Larkspill"  larkspill -root  \\n' ||
  { echo "SKIPPED: no user namespace, and the build is out of an ordinary user's reach"; exit 77; }
xscreensaver-command -activate >/dev/null || fail "xscreensaver-command -activate failed"

until_ok 10 savers_are 2 || fail "$(on_display | wc -l) Larkspills, not 2"
wait_until 10 "the scene on both monitors" eval 'expect_scene 0 0 800 600 && expect_scene 800 0 800 600'
expect_scene 0 0 800 600
expect_scene 800 0 800 600
[ -z "${LARKSPILL_SHOTS:-}" ] || import -window root "$LARKSPILL_SHOTS/xscreensaver-two-monitors.png"
[ "$(for pid in $(on_display); do ls -l "/proc/$pid/fd"; done 2>/dev/null | grep -c "$WORK/audio.raw")" -eq 1 ] ||
  fail "not one of the two savers plays sound"

# No session bus started since this X server is left for its display (they outlive what started them).
xscreensaver-command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
until_ok 1 savers_are 0 || fail "Larkspill still runs a second after -deactivate: $(on_display)"
started_at() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{print $20}'; }
for pid in $(on_display 'dbus-launch|dbus-daemon'); do
  ! [ "$(started_at "$pid")" -ge "$(started_at "$XVFB_PID")" ] 2>/dev/null ||
    fail "a session bus was left behind on $DISPLAY: $(tr '\0' ' ' <"/proc/$pid/cmdline")"
done
grep -q 'larkspill' "$WORK/xscreensaver.log" || fail "xscreensaver's log never names Larkspill"
echo "xscreensaver: ok"
