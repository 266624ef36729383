#!/usr/bin/env bash
# The pointer over the saver on a Wayland compositor (headless sway): hidden. Screenshots leave the
# cursor out, so the saver's own requests say it: on every entry of the pointer it sets no cursor
# image, and it never sets one.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/sway.sh"
start_sway 'output HEADLESS-1 resolution 800x600 position 0 0'
start_hands
hand move 400 300

bg "${nobody[@]}" WAYLAND_DEBUG=client SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/wl-home/audio.raw" "$LARKSPILL" /s >"$WORK/stdout" 2>"$WORK/stderr"
APP_PID=$!
until_ok 10 test -s "$WORK/wl-home/audio.raw" || fail "the saver did not start: $(err)"
# entries: how often the pointer came onto the saver; hidden: the cursor images set to none.
entries() { grep -c 'wl_pointer@[0-9]*\.enter(' "$WORK/stderr" || true; }
hidden() { grep -c -- '-> wl_pointer@[0-9]*\.set_cursor([0-9]*, nil, 0, 0)' "$WORK/stderr" || true; }
wait_until 10 "the pointer on the saver" eval '[ "$(entries)" -ge 1 ]'
hand move 3 3  # within the saver's MouseSens (4): it keeps running, the pointer over it
wait_until 5 "the cursor hidden" eval '[ "$(hidden)" -ge "$(entries)" ]'
runs_after 0.2
shown=$(grep -- '-> wl_pointer@[0-9]*\.set_cursor(' "$WORK/stderr" | grep -v ', nil, 0, 0)' || true)
[ -z "$shown" ] || fail "the saver set a cursor image: $shown"
term_ends "the pointer over it"
echo "wayland pointer: ok"
