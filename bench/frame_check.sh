#!/bin/bash
# Runs bench/frame_check at the three sizes a change to the frame's path is checked at, each on a
# virtual X screen of its own: 800x600 full screen, a 1000x500 host's window, 1920x1080 full
# screen. Prints "SIZE FRAME HASH" lines; two builds that print the same lines draw alike.
#
#   bench/frame_check.sh [BUILD_DIR] [FRAMES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
frames=${2:-600}
source "$here/scripts/deps.sh"
trap '[ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true' EXIT
for run in 800x600:0 1000x500:1 1920x1080:0; do
  size=${run%:*}
  start_xvfb "${size}x24"
  DISPLAY=$XVFB_DISPLAY FRAME_CHECK_EMBED=${run#*:} SDL_AUDIODRIVER=dummy \
    "$build/bench/frame_check" "$build/share/larkspill" "$frames" | sed "s/^/$size /"
  kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
done
