#!/usr/bin/env bash
# The real xscreensaver daemon runs Larkspill as one of its own: on a desk of two monitors it
# starts one per monitor when `xscreensaver-command -activate` asks, each shows the scene, one
# plays sound, and `-deactivate` ends them within a second with nothing left running, no
# session bus included.
source "$(dirname "$0")/lib.sh"
# Two monitors side by side.
start_two_monitor_display || { echo "SKIPPED: Xorg with the dummy driver cannot run here"; exit 77; }
unset DBUS_SESSION_BUS_ADDRESS  # startx and xscreensaver: no session bus

# xscreensaver finds savers on PATH; its own user file lists Larkspill as the one to show.
export HOME="$WORK/home"
mkdir -p "$HOME" "$WORK/bin"
ln -s "$LARKSPILL" "$WORK/bin/larkspill"
export PATH="$WORK/bin:$PATH"
cat >"$HOME/.xscreensaver" <<'END'
mode:		one
selected:	0
timeout:	0:30:00
lock:		False
fade:		False
unfade:		False
splash:		False
dpmsEnabled:	False
programs:	"Larkspill"  larkspill -root  \n
END
# xscreensaver never runs a saver for root; as root here, it runs as user 1000 in a user
# namespace of its own (the files stay ours), or else as nobody where nobody can reach the build.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  if unshare --user --map-user=1000 --map-group=1000 true 2>/dev/null; then
    as_user=(unshare --user --map-user=1000 --map-group=1000)
  else
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod 755 "$WORK" && chown -R 65534 "$WORK" ||
      { echo "SKIPPED: no user namespace, and no way to be an ordinary user"; exit 77; }
    "${as_user[@]}" test -x "$LARKSPILL" -a -r "$LARKSPILL_ASSETS/UK-bg01.bmp" ||
      { echo "SKIPPED: no user namespace, and the build is out of an ordinary user's reach"; exit 77; }
  fi
fi
"${as_user[@]}" xscreensaver -no-splash -verbose >"$WORK/xscreensaver.log" 2>&1 &
PIDS+=("$!")
for i in $(seq 1 50); do
  xscreensaver-command -time >/dev/null 2>&1 && break
  sleep 0.1
done
xscreensaver-command -activate >/dev/null || fail "xscreensaver-command -activate failed"

# One Larkspill per monitor, each showing the scene; one audio stream between them.
wait_savers 2 10
sleep 2
expect_scene 0 0 800 600
expect_scene 800 0 800 600
[ -z "${LARKSPILL_SHOTS:-}" ] || import -window root "$LARKSPILL_SHOTS/xscreensaver-two-monitors.png"
streams=0
for pid in $(our_savers); do
  ls -l "/proc/$pid/fd" 2>/dev/null | grep -q "$WORK/audio.raw" && streams=$((streams + 1))
done
[ "$streams" -eq 1 ] || fail "$streams of the two savers play sound, not one"

# Deactivated: every Larkspill ends within a second, and nothing of them stays behind.
xscreensaver-command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
for i in $(seq 1 10); do
  [ -z "$(our_savers)" ] && break
  sleep 0.1
done
[ -z "$(our_savers)" ] || fail "Larkspill still runs a second after -deactivate: $(our_savers)"
expect_no_session_bus
grep -q 'larkspill' "$WORK/xscreensaver.log" || fail "xscreensaver's log never names Larkspill"
echo "xscreensaver: ok"
