#!/usr/bin/env bash
# Installs what is missing, builds Larkspill (Release) and runs it: ./run.sh [switch], /s by default.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
install_deps
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target larkspill

switch="${1:-/s}"
if [ $# -gt 0 ]; then shift; fi
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec ./build/larkspill "$switch" "$@"
fi

# No display here: run on a virtual one for a few seconds and keep a picture of it.
start_xvfb 800x600x24
trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
DISPLAY="$XVFB_DISPLAY" ./build/larkspill "$switch" "$@" &
saver=$!
sleep 6
DISPLAY="$XVFB_DISPLAY" import -window root build/screenshot.png || true
kill -TERM "$saver" 2>/dev/null || true
wait "$saver" || true
echo "No display was found, so Larkspill ran on a virtual X display for 6 seconds."
echo "What it showed is in build/screenshot.png"
