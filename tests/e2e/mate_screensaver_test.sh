#!/usr/bin/env bash
# The real mate-screensaver: `--activate` starts Larkspill showing the scene, `--deactivate` ends it.
if [ -z "${LARKSPILL_SAVER_FOLDER:-}" ]; then
  export GIO_USE_VFS=local GIO_USE_VOLUME_MONITOR=unix GVFS_DISABLE_FUSE=1  # no gvfs on the bus below
  # This build in its saver folder by a private mount (else, on CI, a link for the test); its own bus.
  if unshare -m --propagation private true 2>/dev/null; then
    LARKSPILL_SAVER_FOLDER=bind exec unshare -m --propagation private dbus-run-session -- bash "$0"
  elif [ -n "${CI:-}" ] && [ "$(id -u)" -eq 0 ] && [ ! -e /usr/libexec/xscreensaver/larkspill ]; then
    LARKSPILL_SAVER_FOLDER=link exec dbus-run-session -- bash "$0"
  fi
  echo "SKIPPED: mate-screensaver's saver folder needs a mount namespace, not allowed here"
  exit 77
fi
source "$(dirname "$0")/lib.sh"
own_bus "$DBUS_SESSION_BUS_ADDRESS"  # dbus-run-session's, above
start_display 800x600x24

# The saver folder with the program in it, the desktop entry as installed, the theme chosen.
mkdir -p "$WORK/home" "$WORK/hacks" "$WORK/share/applications/screensavers"
ln -s "$LARKSPILL" "$WORK/hacks/larkspill"
if [ "$LARKSPILL_SAVER_FOLDER" = bind ]; then
  mount --bind "$WORK/hacks" /usr/libexec/xscreensaver || fail "cannot bind the saver folder"
else
  mkdir -p /usr/libexec/xscreensaver
  ln -s "$LARKSPILL" /usr/libexec/xscreensaver/larkspill || fail "cannot link into the saver folder"
  trap "rm -f /usr/libexec/xscreensaver/larkspill; $(trap -p EXIT | sed "s/^trap -- '//; s/' EXIT$//")" EXIT
fi
cp "$(dirname "$0")/../../data/larkspill.desktop" "$WORK/share/applications/screensavers/"
export HOME="$WORK/home" XDG_DATA_DIRS="$WORK/share:/usr/share" PATH="$WORK/hacks:$PATH"
export GSETTINGS_BACKEND=keyfile  # the host's settings in a file of its own, never the machine's dconf
dbus-update-activation-environment HOME XDG_CONFIG_HOME XDG_DATA_DIRS GSETTINGS_BACKEND PATH
for pair in "mode single" "themes ['screensavers-larkspill']" "lock-enabled false"; do
  gsettings set org.mate.screensaver ${pair%% *} "${pair#* }"
done

bg mate-screensaver --no-daemon --debug >"$WORK/mate.log" 2>&1
until_ok 5 mate-screensaver-command --query >/dev/null 2>&1 || true
mate-screensaver-command --activate >/dev/null || fail "mate-screensaver-command --activate failed"

until_ok 10 savers_are 1 || fail "$(on_display | wc -l) Larkspills, not 1"
wait_until 10 "the scene" expect_scene 0 0 800 600
expect_scene 0 0 800 600
[ -z "${LARKSPILL_SHOTS:-}" ] || import -window root "$LARKSPILL_SHOTS/mate-saver.png"
grep -q 'No command set for job' "$WORK/mate.log" && fail "mate-screensaver found no command for Larkspill"

mate-screensaver-command --deactivate >/dev/null || fail "mate-screensaver-command --deactivate failed"
until_ok 1 savers_are 0 || fail "Larkspill still runs a second after --deactivate: $(on_display)"
echo "mate-screensaver: ok"
