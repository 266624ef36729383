#!/usr/bin/env bash
# larkspill --on-idle on an X display: the saver after the X server's idle time, ended by a key and
# started again after the next idle stretch; held off by a program's Inhibit on the session bus
# until it calls UnInhibit or leaves the bus; its autostart entry written and removed.
source "$(dirname "$0")/lib.sh"
start_display 800x600x24
eval "$(dbus-launch --sh-syntax)" && PIDS+=("$DBUS_SESSION_BUS_PID")
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/no-system-bus"  # no login manager here

# Odd values: one clear line, status 1, no watcher left.
for args in "--on-idle" "--on-idle 0" "--on-idle -2" "--on-idle five" "--on-idle 1e3" "--autostart" \
  "--on-idle 5 /s" "--on-idle 20000"; do
  status=0 && "$LARKSPILL" $args >"$WORK/stdout" 2>"$WORK/stderr" || status=$?
  [ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/stderr")" -eq 1 ] && grep -q -- '--on-idle\|--autostart' "$WORK/stderr" ||
    fail "\"$args\": status $status, not 1 with one line saying why: $(err)"
done

# The saver it starts: the watcher's child.
saver() { pgrep -P "$WATCHER" -x larkspill; }
saver_count_is() { [ "$(pgrep -P "$WATCHER" -x larkspill | wc -l)" -eq "$1" ]; }
# A key once the saver's window shows (sent sooner, it would reach no window of the saver's).
key_to_saver() { wait_window "$TITLE" 10 >/dev/null || fail "the saver shows no window: $(err)"; xdotool key space; }

xdotool key shift
bg "$LARKSPILL" --on-idle 0.05 >"$WORK/watcher.out" 2>"$WORK/stderr"  # 3 s
WATCHER=$!
started=$(date +%s%N)
until_ok 6 saver_count_is 1 || fail "no saver after 3 s idle: $(err)"
took=$((($(date +%s%N) - started) / 1000000))
[ "$took" -ge 2500 ] && [ "$took" -le 5000 ] || fail "the saver came after $took ms, not 3 s"
wait_window "$TITLE" 5 >/dev/null || fail "the saver shows no window: $(err)"
grep -q "the X screen-saver extension" "$WORK/watcher.out" || fail "the watcher did not ask the X server: $(cat "$WORK/watcher.out")"
idle_for() { [ "$(xssstate -i)" -ge "$1" ]; }  # the X server's idle time, in ms
wait_until 10 "4.5 s of idle" idle_for 4500
saver_count_is 1 || fail "not one saver"

# A key ends it; the watcher waits for the next idle stretch (from the key), then starts it again.
key_to_saver
key_at=$(date +%s%N)
until_ok 3 saver_count_is 0 || fail "a key did not end the saver"
kill -0 "$WATCHER" || fail "the watcher ended with its saver"
until_ok 6 saver_count_is 1 || fail "no saver after the next idle stretch"
took=$((($(date +%s%N) - key_at) / 1000000))
[ "$took" -ge 2500 ] || fail "a saver came back $took ms after the key, before the idle time"

# A player's Inhibit holds it off until UnInhibit.
mkfifo "$WORK/app.in" && exec 8<>"$WORK/app.in"
app() {
  local before; before=$(grep -c ok "$WORK/app.out" || true)
  echo "$1" >&8
  until_ok 5 eval '[ "$(grep -c ok "$WORK/app.out")" -gt '"$before"' ]' || fail "the inhibiting program did not $1: $(cat "$WORK/app.out")"
}
start_inhibiting_app() {
  : >"$WORK/app.out"
  /usr/bin/python3 "$(dirname "$0")/inhibiting_app.py" <&8 >"$WORK/app.out" 2>&1 &
  APP=$! && PIDS+=("$APP")
  until_ok 5 grep -q ready "$WORK/app.out" || fail "the inhibiting program did not start: $(cat "$WORK/app.out")"
}
start_inhibiting_app
key_to_saver
until_ok 3 saver_count_is 0 || fail "a key did not end the saver"
app inhibit
wait_until 15 "6 s of idle under the Inhibit" idle_for 6000
saver_count_is 0 || fail "a saver came while a program held idle off"
app uninhibit
until_ok 5 saver_count_is 1 || fail "no saver within 5 s of UnInhibit"

# ... or until the program leaves the bus without a word.
key_to_saver
until_ok 3 saver_count_is 0 || fail "a key did not end the saver"
app inhibit
wait_until 15 "5 s of idle under the Inhibit" idle_for 5000
saver_count_is 0 || fail "a saver came while a program held idle off"
kill -KILL "$APP"
until_ok 5 saver_count_is 1 || fail "no saver within 5 s of the inhibiting program's end"

# SIGTERM ends the watcher and the saver it started.
saver_pid=$(saver)
kill -TERM "$WATCHER"
wait_exit "$WATCHER" 3
[ "$EXIT_STATUS" -eq 143 ] || fail "the watcher ended with $EXIT_STATUS on SIGTERM, not 143"
until_ok 3 eval "! kill -0 $saver_pid 2>/dev/null" || fail "the saver outlived the watcher"

# --autostart writes the entry (and watches); --no-autostart removes it.
entry="$XDG_CONFIG_HOME/autostart/larkspill-on-idle.desktop"
bg "$LARKSPILL" --on-idle 7.5 --autostart >"$WORK/stdout" 2>"$WORK/stderr"
WATCHER=$!
until_ok 5 test -s "$entry" || fail "--autostart wrote no entry: $(err)"
grep -qxF "Exec=$(readlink -f "$LARKSPILL") --on-idle 7.5" "$entry" && grep -qx 'Type=Application' "$entry" ||
  fail "the autostart entry does not run the watcher: $(cat "$entry")"
kill -0 "$WATCHER" || fail "--autostart did not go on watching: $(err)"
kill -TERM "$WATCHER"
"$LARKSPILL" --no-autostart >"$WORK/stdout" 2>"$WORK/stderr" || fail "--no-autostart failed: $(err)"
[ ! -e "$entry" ] || fail "--no-autostart left the entry"
"$LARKSPILL" --no-autostart >"$WORK/stdout" 2>"$WORK/stderr" || fail "--no-autostart without an entry failed: $(err)"
echo "on idle: ok"
