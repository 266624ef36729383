#!/usr/bin/env bash
# The real xscreensaver on two monitors: a Larkspill showing the scene on each, one playing, none left.
source "$(dirname "$0")/lib.sh"
start_two_monitor_display || { echo "SKIPPED: Xorg with the dummy driver cannot run here"; exit 77; }
unset DBUS_SESSION_BUS_ADDRESS  # startx and xscreensaver: no session bus

# xscreensaver finds savers on PATH; its own user file lists Larkspill as the one to show.
export HOME="$WORK/home" PATH="$WORK/bin:$PATH"
mkdir -p "$HOME" "$WORK/bin" && ln -s "$LARKSPILL" "$WORK/bin/larkspill"
printf '%s:\t%s\n' mode one selected 0 timeout 0:30:00 lock False fade False unfade False splash False \
  dpmsEnabled False programs '"Larkspill"  larkspill -root  \n' >"$HOME/.xscreensaver"
# xscreensaver runs no saver for root: here it runs as user 1000 in a user namespace, or as nobody.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(unshare --user --map-user=1000 --map-group=1000)
  if ! "${as_user[@]}" true 2>/dev/null; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod 755 "$WORK" && chown -R 65534 "$WORK" && "${as_user[@]}" test -x "$LARKSPILL" -a -r "$LARKSPILL_ASSETS/UK-bg01.bmp" ||
      { echo "SKIPPED: no user namespace, and the build is out of an ordinary user's reach"; exit 77; }
  fi
fi
bg "${as_user[@]}" xscreensaver -no-splash -verbose >"$WORK/xscreensaver.log" 2>&1
until_ok 5 xscreensaver-command -time >/dev/null 2>&1 || true
xscreensaver-command -activate >/dev/null || fail "xscreensaver-command -activate failed"

until_ok 10 savers_are 2 || fail "$(on_display | wc -l) Larkspills, not 2"
sleep 2
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
