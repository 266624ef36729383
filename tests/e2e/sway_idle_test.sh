#!/usr/bin/env bash
# The README's sway recipe, as a user puts it in sway's config, on a real headless sway with the real
# swayidle and swaylock (minutes read as seconds): idle starts the saver, a longer idle locks over it
# and the saver steps aside, and a lock before sleep or a lock of the session comes while it shows.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/sway.sh"
start_sway 'output HEADLESS-1 resolution 800x600'
start_hands

# The login manager on a private system bus, as swayidle and the saver meet it.
bg "${nobody[@]}" dbus-daemon --session --nofork --address="unix:path=$WORK/wl-run/system_bus" >"$WORK/dbus.log" 2>&1
until_ok 5 test -S "$WORK/wl-run/system_bus" || fail "no system bus: $(cat "$WORK/dbus.log")"
nobody+=(DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/wl-run/system_bus")
bg "${nobody[@]}" /usr/bin/python3 "$(dirname "$0")/stand_in_logind.py" >"$WORK/logind" 2>&1
LOGIND=$! && until_ok 5 grep -q ready "$WORK/logind" || fail "the stand-in login manager did not start"

# `larkspill` on the PATH is the real program, its exit status kept for the test.
mkdir -p "$WORK/wl-bin"
printf '#!/bin/sh\n"%s" "$@"\necho $? >>"%s"\n' "$LARKSPILL" "$WORK/wl-home/statuses" >"$WORK/wl-bin/larkspill"
chmod 755 "$WORK/wl-bin" "$WORK/wl-bin/larkspill"
recipe=$(sed -n '/^exec swayidle/,/^```/p' "$(dirname "$0")/../../README.md" | sed '$d' | tr -d '\\\n' | tr -s ' ' | sed 's/^exec //')
[[ "$recipe" == "swayidle -w timeout 300 "* ]] || fail "the README's sway recipe is not where it was: $recipe"
recipe=${recipe//timeout 300 /timeout 2 } recipe=${recipe//timeout 600 /timeout 6 } recipe=${recipe//swaylock -f/swaylock -f -c 00ff00}
echo "recipe: $recipe"
bg "${nobody[@]}" PATH="$WORK/wl-bin:$PATH" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null sh -c "exec $recipe" >"$WORK/swayidle.log" 2>&1

# ours NAME: the pids of NAME's processes on this test's compositor.
ours_named() { local pid; for pid in $(pgrep -x "$1"); do grep -qzF "XDG_RUNTIME_DIR=$WORK/wl-run" "/proc/$pid/environ" 2>/dev/null && echo "$pid"; done; true; }
running() { [ -n "$(ours_named "$1")" ]; }
statuses() { tr '\n' ' ' <"$WORK/wl-home/statuses" 2>/dev/null; }
# saver_ends_under_lock WHAT: swaylock comes within 2 s, the saver steps aside with 0, the lock stays.
saver_ends_under_lock() {
  until_ok 2 running swaylock || fail "$1: no lock while the saver shows: $(tail -5 "$WORK/swayidle.log")"
  until_ok 2 eval '! running larkspill' || fail "$1: the saver did not step aside for swaylock"
  [ "$(statuses)" = "$2" ] || fail "$1: saver statuses $(statuses), not $2"
  sleep 0.5  # the lock must still hold a moment later: an absence, nothing to wait for
  running swaylock || fail "$1: swaylock did not hold the screen"
  kill $(ours_named swaylock)
  until_ok 2 eval '! running swaylock' || fail "$1: swaylock did not end"
}

# Idle: the saver; a longer idle: swaylock over it, on time.
until_ok 4 running larkspill || fail "idle did not start the saver: $(tail -5 "$WORK/swayidle.log")"
saver_at=$(date +%s%N)
# The saver looked for before the lock: gone while no lock runs, it did not stay until the lock.
wait_until 10 "the idle lock" eval 'if running larkspill; then running swaylock; else running swaylock || touch "$WORK/gone-early"; fi'
took=$((($(date +%s%N) - saver_at) / 1000000))
[ ! -e "$WORK/gone-early" ] && [ "$took" -ge 3000 ] || fail "the saver did not stay until the lock (the lock after $took ms)"
saver_ends_under_lock "the idle lock" "0 "

# A key, idle again: the saver; then sleep, or a lock of the session, locks over it.
for round in "USR2 before sleep:0 0 " "USR1 the session's lock:0 0 0 "; do
  what=${round%%:*}
  hand key
  until_ok 4 running larkspill || fail "$what: the next idle did not start the saver: $(tail -5 "$WORK/swayidle.log")"
  wait_until 10 "$what: the saver asking for its session" eval 'grep -q "session asked by $(ours_named larkspill)$" "$WORK/logind"'
  kill -"${what%% *}" "$LOGIND"
  saver_ends_under_lock "${what#* }" "${round#*:}"
done
kill $(ours_named swayidle)

# larkspill --on-idle on the same compositor, through its idle notice: the saver after the idle
# time, a key ends it, the next idle stretch starts it again, and the compositor's end ends it.
hand key
bg "${nobody[@]}" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null "$LARKSPILL" --on-idle 0.05 >"$WORK/watcher.out" 2>&1
WATCHER=$!
saver_count_is() { [ "$(pgrep -P "$WATCHER" -x larkspill | wc -l)" -eq "$1" ]; }
watch_from=$(date +%s%N)
wait_until 10 "the watcher's saver on sway" saver_count_is 1
took=$((($(date +%s%N) - watch_from) / 1000000))
[ "$took" -ge 2000 ] || fail "the watcher started the saver before the idle time ($took ms)"
until_ok 3 saver_count_is 1 || fail "the watcher started no saver on sway: $(cat "$WORK/watcher.out")"
grep -q "the compositor.s idle notice" "$WORK/watcher.out" || fail "the watcher did not ask sway: $(cat "$WORK/watcher.out")"
scene_shown() { as_nobody grim -s 1 "$WORK/wl-home/wl.png" && [ "$(convert "$WORK/wl-home/wl.png" -format %k info:)" -gt 1000 ]; }
wait_until 10 "the watcher's saver's scene" scene_shown
hand key
key_at=$(date +%s%N)
until_ok 3 saver_count_is 0 || fail "a key did not end the watcher's saver on sway"
until_ok 6 saver_count_is 1 || fail "no saver after the next idle stretch on sway"
took=$((($(date +%s%N) - key_at) / 1000000))
[ "$took" -ge 2500 ] || fail "a saver came back $took ms after the key, before the idle time"
kill "$SWAY_PID"  # the compositor gone, the clients swayidle started end with it
wait_exit "$WATCHER" 3
[ "$EXIT_STATUS" -eq 3 ] || fail "the watcher ended with $EXIT_STATUS when sway went away, not 3: $(cat "$WORK/watcher.out")"
echo "sway idle: ok"
