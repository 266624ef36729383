#!/usr/bin/env bash
# What monitors of different shapes cost together against each alone: a 2560x1440 and a 1080x1920
# each on an Xvfb of its own, then both side by side as RandR monitors of one 3640x1920 Xvfb. For
# each: CPU of the saver and its X server over S seconds (from 3 s after start), the saver's peak
# resident memory, and the time from its start to its first frame (the trace's). The pictures
# painted at the screens' scales are left out (no cache folder), so the runs compare alike.
#
#   bench/screen_shapes_cost.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
seconds=${2:-10}
source "$here/scripts/deps.sh"
work=$(mktemp -d /tmp/larkspill-shapes.XXXXXX)
trap '[ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; rm -rf "$work"' EXIT
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }  # user + system, in clock ticks

# run NAME XVFB_SIZE [MONITOR...]: one case; a MONITOR is W/MMxH/MM+X+Y for xrandr --setmonitor.
run() {
  local name=$1 size=$2 saver i
  start_xvfb "${size}x24"
  shift 2
  for ((i = 1; i <= $#; i++)); do
    DISPLAY=$XVFB_DISPLAY xrandr --setmonitor "M$i" "${!i}" "$([ "$i" -eq 1 ] && echo screen || echo none)" >/dev/null
  done
  mkdir -p "$work/run" && chmod 700 "$work/run"
  DISPLAY=$XVFB_DISPLAY XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=/nonexistent XDG_RUNTIME_DIR=$work/run \
    SDL_AUDIODRIVER=dummy LARKSPILL_TRACE=1 "$build/larkspill" /s 2>"$work/$name.err" &
  saver=$!
  sleep 3
  local before=$(($(ticks "$saver") + $(ticks "$XVFB_PID")))
  sleep "$seconds"
  local after=$(($(ticks "$saver") + $(ticks "$XVFB_PID")))
  local peak_kb
  peak_kb=$(awk '/VmHWM/ { print $2 }' "/proc/$saver/status")
  kill -TERM "$saver"; wait "$saver" 2>/dev/null || true
  kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null || true; XVFB_PID=
  local first
  first=$(awk '/first_frame_since_start_ms/ { print $3 }' "$work/$name.err")
  awk -v n="$name" -v t=$((after - before)) -v s="$seconds" -v hz="$(getconf CLK_TCK)" -v m="$peak_kb" -v f="$first" \
    'BEGIN { printf "%-22s cpu %5.1f %%  peak %4d MB  first frame %s ms\n", n, 100 * t / hz / s, m / 1024, f }'
}

run 2560x1440 2560x1440
run 1080x1920 1080x1920
run both 3640x1920 1080/285x1920/508+0+0 2560/677x1440/381+1080+0
