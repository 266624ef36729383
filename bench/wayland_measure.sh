#!/usr/bin/env bash
# The saver on a Wayland compositor, natively and through Xwayland: headless sway (run as nobody,
# as it refuses root) with one output, Xwayland started with it.
#
#   bench/wayland_measure.sh [--build DIR] [--runs N] [--seconds S] [--size WxH]
#
# For each run and each way: CPU of the saver, the compositor and Xwayland together over S seconds
# (from 2 s after start), as a share of one core, and the time from starting the process to its
# first frame. Medians of the runs go to stdout.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib_options.sh"
build="$here/../build-perf"
runs=3
seconds=10
size=800x600
parse_options '[--build DIR] [--runs N] [--seconds S] [--size WxH]' build runs seconds size -- "$@"
saver=$(saver_in "$build")
work=$(mktemp -d /tmp/larkspill-wayland-measure.XXXXXX)
chmod 755 "$work" && mkdir -m 700 "$work/run" "$work/home" && chown 65534:65534 "$work/run" "$work/home"
sway_pid=""
trap '[ -n "$sway_pid" ] && kill "$sway_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env -u DISPLAY XDG_RUNTIME_DIR="$work/run"
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/config")
# Xwayland here needs -ac: the saver's X connection has no cookie from the compositor.
printf '#!/bin/sh\nexec Xwayland "$@" -ac\n' >"$work/xwayland" && chmod 755 "$work/xwayland"
printf 'output HEADLESS-1 resolution %s\nxwayland force\n' "$size" >"$work/home/sway.conf"

ticks() { local t=0 pid; for pid in "$@"; do t=$((t + $(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null || echo 0))); done; echo $t; }
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

"${nobody[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  WLR_RENDERER_ALLOW_SOFTWARE=1 WLR_XWAYLAND="$work/xwayland" sway -c "$work/home/sway.conf" \
  >"$work/sway.log" 2>&1 &
sway_pid=$!
for _ in $(seq 100); do [ -S "$work/run/wayland-1" ] && pgrep -u 65534 -x Xwayland >/dev/null && break; sleep 0.1; done
xwayland_pid=$(pgrep -u 65534 -x Xwayland)
x_display=$(tr '\0' ' ' </proc/"$xwayland_pid"/cmdline | grep -o ':[0-9]\+' | head -1)
hz=$(getconf CLK_TCK)

measure() {  # measure WAY: prints "cpu_percent first_frame_ms"
  local env_way=() pid before after
  if [ "$1" = native ]; then env_way=(WAYLAND_DISPLAY=wayland-1); else env_way=(DISPLAY="$x_display"); fi
  "${nobody[@]}" "${env_way[@]}" SDL_AUDIODRIVER=dummy LARKSPILL_TRACE=1 "$saver" /s 2>"$work/trace" &
  pid=$!
  sleep 2
  before=$(ticks "$pid" "$sway_pid" "$xwayland_pid")
  sleep "$seconds"
  after=$(ticks "$pid" "$sway_pid" "$xwayland_pid")
  kill -TERM "$pid"; wait "$pid" 2>/dev/null || true
  echo "$(echo "scale=2; 100 * ($after - $before) / $hz / $seconds" | bc) $(awk '/first_frame_since_start_ms/ {print $3}' "$work/trace")"
}

echo "way        cpu% (saver + sway + Xwayland)   first frame (ms)   at $size, median of $runs runs of $seconds s"
for way in native xwayland; do
  : >"$work/$way"
  for _ in $(seq "$runs"); do measure "$way" >>"$work/$way"; done
  printf '%-10s %-32s %s\n' "$way" "$(cut -d' ' -f1 "$work/$way" | median)" "$(cut -d' ' -f2 "$work/$way" | median)"
done
