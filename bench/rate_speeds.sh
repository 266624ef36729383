#!/usr/bin/env bash
# Creature speeds at several monitor refresh rates: the saver runs S seconds on an X server whose
# one monitor is set, in turn, to 800x600 at each rate (Xorg's dummy driver, which keeps the
# modes' timings; Xvfb reports no refresh rate), and its trace gives the frames a second and, for
# each creature, the scene pixels it covered a second while shown.
#
#   bench/rate_speeds.sh [--build DIR] [--seconds S] [--rates "60 120 144 165 240"] [--out FILE]
#
# Columns: frames a second; then per creature the pixels a second along x and along y (the path,
# every step counted whatever its direction), measured over the frames it was drawn in. A trace
# without path figures (an older build) counts one pixel a changed place, as its moves do.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../scripts/deps.sh"
build="$here/../build"
seconds=10
rates="60 120 144 165 240"
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --rates) rates="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    *) echo "usage: $0 [--build DIR] [--seconds S] [--rates LIST] [--out FILE]" >&2; exit 2 ;;
  esac
done
saver="$(cd "$build" && pwd)/larkspill"
[ -x "$saver" ] || { echo "no saver at $saver (build the larkspill target)" >&2; exit 1; }
command -v Xorg >/dev/null && [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] ||
  { echo "Xorg's dummy driver is needed (xserver-xorg-core, xserver-xorg-video-dummy)" >&2; exit 1; }

work="$(mktemp -d /tmp/larkspill-rates.XXXXXX)"
saver_pid=""
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

# One monitor section holding an 800x600 mode for every rate, named 800x600_RATE.
{
  printf '%s\n' 'Section "ServerFlags"' 'Option "AutoAddDevices" "false"' 'Option "DontVTSwitch" "true"' \
    EndSection 'Section "Device"' 'Identifier "d"' 'Driver "dummy"' 'VideoRam 32768' EndSection \
    'Section "Monitor"' 'Identifier "m"' 'HorizSync 5-1000' 'VertRefresh 5-300'
  for rate in $rates; do
    # A plain mode: the pixel clock is what gives its rate (1000 x 650 pixels a refresh).
    awk -v r="$rate" 'BEGIN { printf "Modeline \"800x600_%s\" %.4f 800 840 880 1000 600 610 620 650\n", r, r * 1000 * 650 / 1e6 }'
  done
  printf '%s\n' EndSection 'Section "Screen"' 'Identifier "s"' 'Device "d"' 'Monitor "m"' 'DefaultDepth 24' \
    'SubSection "Display"' 'Depth 24'
  printf 'Modes'; for rate in $rates; do printf ' "800x600_%s"' "$rate"; done; echo
  printf '%s\n' 'Virtual 800 600' EndSubSection EndSection
} >"$work/xorg.conf"
start_x_server Xorg -config "$work/xorg.conf" -logfile "$work/xorg.log" -noreset -nolisten tcp \
  -novtswitch -sharevts || { echo "Xorg did not start; see $work/xorg.log" >&2; exit 1; }
export DISPLAY="$XVFB_DISPLAY"
output=$(xrandr | awk '/ connected/ { print $1; exit }')

mkdir -p "$work/config/larkspill" "$work/runtime"
chmod 700 "$work/runtime"
table() { if [ -n "$out" ]; then tee -a "$out"; else cat; fi; }
[ -z "$out" ] || : >"$out"
names="butterfly1 butterfly2 butterfly3 butterfly4 butterfly5 flock bird1 bird2"
{
  printf '| Hz | fps |'
  for n in $names; do printf ' %s x/y |' "$n"; done
  echo
  printf '|---|---|'; for n in $names; do printf -- '---|'; done; echo
} | table
for rate in $rates; do
  xrandr --output "$output" --mode "800x600_$rate" >/dev/null
  shown=$(xrandr | awk '/\*/ { for (i = 2; i <= NF; ++i) if ($i ~ /\*/) { sub(/[*+]+/, "", $i); print $i } }')
  XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" \
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null LARKSPILL_TRACE=1 \
    "$saver" /s 2>"$work/trace.$rate" &
  saver_pid=$!
  sleep "$seconds"
  kill -TERM "$saver_pid" 2>/dev/null || true
  wait "$saver_pid" 2>/dev/null || true
  saver_pid=""
  # Sprites 1 to 8 are butterflies 1-5, the flock and the single birds, in the order they are made.
  awk -v rate="$rate ($shown)" '
    /larkspill-trace frames/ { frames = $3 }
    /larkspill-trace seconds/ { secs = $3 }
    /larkspill-trace sprite/ {
      draws[$3] = $5; px[$3] = $7; py[$3] = $9
      for (i = 10; i < NF; ++i) { if ($i == "path_x") px[$3] = $(i + 1); if ($i == "path_y") py[$3] = $(i + 1) }
    }
    END {
      fps = (frames - 1) / secs
      printf "| %s | %.1f |", rate, fps
      for (id = 1; id <= 8; ++id) {
        if (draws[id] < 10) { printf " - |"; continue }
        shown_s = draws[id] / fps
        printf " %.1f / %.1f |", px[id] / shown_s, py[id] / shown_s
      }
      printf "\n"
    }' "$work/trace.$rate" | table
done
echo "traces in $work" >&2
trap - EXIT
cleanup
