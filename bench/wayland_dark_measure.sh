#!/usr/bin/env bash
# What the saver costs on a Wayland compositor that shows its frames, and on one that sends no
# frame callbacks (headless sway stopped with SIGSTOP, as a hung compositor would be): its CPU as a
# share of one core, its wake-ups a second (context switches: of the run loop's thread, and of all
# its threads, the sound's among them), and the frames it composed, over S seconds each. Options
# after the size go to the saver (-no-sound).
#
#   bench/wayland_dark_measure.sh [BUILD_DIR] [SECONDS] [WxH] [SAVER OPTION...]   (build 10 1920x1080)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
seconds="${2:-10}"
size="${3:-1920x1080}"
shift $(($# < 3 ? $# : 3))
saver="$build/larkspill"
[ -x "$saver" ] || { echo "no program at $saver" >&2; exit 2; }
work=$(mktemp -d /tmp/larkspill-wayland-dark.XXXXXX)
chmod 755 "$work" && mkdir -m 700 "$work/run" "$work/home" && chown 65534:65534 "$work/run" "$work/home"
sway_pid="" saver_pid=""
trap '[ -n "$sway_pid" ] && kill -CONT "$sway_pid" 2>/dev/null && kill "$sway_pid" 2>/dev/null
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env -u DISPLAY XDG_RUNTIME_DIR="$work/run"
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/config")
printf 'output HEADLESS-1 resolution %s\nxwayland disable\n' "$size" >"$work/home/sway.conf"
"${nobody[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  WLR_RENDERER_ALLOW_SOFTWARE=1 sway -c "$work/home/sway.conf" >"$work/sway.log" 2>&1 &
sway_pid=$!
for _ in $(seq 100); do [ -S "$work/run/wayland-1" ] && break; sleep 0.1; done
"${nobody[@]}" WAYLAND_DISPLAY=wayland-1 SDL_AUDIODRIVER=dummy LARKSPILL_TRACE=1 "$saver" /s "$@" 2>"$work/trace" &
saver_pid=$!
hz=$(getconf CLK_TCK)

ticks() { awk '{print $14 + $15}' "/proc/$saver_pid/stat"; }
switches() { cat /proc/"$saver_pid"/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }'; }
loop_switches() { awk '/ctxt_switches/ { n += $2 } END { print n }' "/proc/$saver_pid/status"; }
# measure WHAT: CPU and wake-ups of the saver over the seconds.
measure() {
  local t0 w0 l0 t1 w1 l1
  t0=$(ticks) w0=$(switches) l0=$(loop_switches)
  sleep "$seconds"
  t1=$(ticks) w1=$(switches) l1=$(loop_switches)
  printf '%-20s cpu %6s %%   wake-ups a second: run loop %6s, all threads %6s\n' "$1" \
    "$(echo "scale=3; 100 * ($t1 - $t0) / $hz / $seconds" | bc)" \
    "$(echo "scale=1; ($l1 - $l0) / $seconds" | bc)" "$(echo "scale=1; ($w1 - $w0) / $seconds" | bc)"
}

sleep 3
echo "the saver on headless sway at $size, $seconds s each"
measure "frames shown"
kill -STOP "$sway_pid"
sleep 2  # dark a second after the last frame sent
measure "compositor stopped"
kill -CONT "$sway_pid"
sleep 1
kill -TERM "$saver_pid"
wait "$saver_pid" 2>/dev/null || true
saver_pid=""
grep -E 'larkspill-trace (frames|seconds|dark)' "$work/trace"
