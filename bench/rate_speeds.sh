#!/usr/bin/env bash
# Creature speeds and CPU at several monitor refresh rates: the saver runs S seconds on an X server
# whose one monitor is set, in turn, to the given size at each rate (Xorg's dummy driver, which
# keeps the modes' timings, its pixel clock allowed up to 2 GHz; Xvfb reports no refresh rate), and
# its trace gives the frames a second and, for each creature, the scene pixels it covered a second
# while shown. A rate may be listed twice; the first run at a size also paints its pictures.
#
#   bench/rate_speeds.sh [--build DIR] [--seconds S] [--rates "60 120 144 165 240"] [--size WxH]
#                        [--nice N] [--realtime PRIORITY] [--out FILE]
#
# Columns: frames a second; the CPU of the saver and the X server together, as a share of one
# core, from 3 s after the start (once the pictures are painted) to the end; then per creature the
# pixels a second along x and along y (the path, every step counted whatever its direction),
# measured over the frames it was drawn in. A trace without path figures (an older build) counts
# one pixel a changed place, as its moves do. --nice runs the saver and the X server at that
# niceness (below 0 needs root), and --realtime (root) under the real-time policy SCHED_FIFO at
# that priority, so that a shared machine's other work does not make them late to their frames:
# with many builds running, a sleep of a frame wakes some milliseconds late.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../scripts/deps.sh"
source "$here/lib_options.sh"
build="$here/../build"
seconds=10
rates="60 120 144 165 240"
size=800x600
nice=0
realtime=""
out=""
parse_options '[--build DIR] [--seconds S] [--rates LIST] [--size WxH] [--nice N] [--realtime PRIORITY] [--out FILE]' \
  build seconds rates size nice realtime out -- "$@"
# How the saver and the X server are started.
priority=(nice -n "$nice")
[ -z "$realtime" ] || priority+=(chrt -f "$realtime")
saver=$(saver_in "$build")
width=${size%x*} height=${size#*x}
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

# One monitor section holding a mode of the given size for every rate, named WxH_RATE.
{
  printf '%s\n' 'Section "ServerFlags"' 'Option "AutoAddDevices" "false"' 'Option "DontVTSwitch" "true"' \
    EndSection 'Section "Device"' 'Identifier "d"' 'Driver "dummy"' 'VideoRam 65536' 'DacSpeed 2000' EndSection \
    'Section "Monitor"' 'Identifier "m"' 'HorizSync 5-1000' 'VertRefresh 5-300'
  for rate in $(tr ' ' '\n' <<<"$rates" | sort -un); do
    # A plain mode: the pixel clock is what gives its rate ((W + 200) x (H + 50) pixels a refresh).
    awk -v r="$rate" -v w="$width" -v h="$height" 'BEGIN {
      printf "Modeline \"%dx%d_%s\" %.4f %d %d %d %d %d %d %d %d\n", w, h, r, r * (w + 200) * (h + 50) / 1e6,
        w, w + 40, w + 80, w + 200, h, h + 10, h + 20, h + 50 }'
  done
  printf '%s\n' EndSection 'Section "Screen"' 'Identifier "s"' 'Device "d"' 'Monitor "m"' 'DefaultDepth 24' \
    'SubSection "Display"' 'Depth 24'
  printf 'Modes'; for rate in $(tr ' ' '\n' <<<"$rates" | sort -un); do printf ' "%s_%s"' "$size" "$rate"; done; echo
  printf '%s\n' "Virtual $width $height" EndSubSection EndSection
} >"$work/xorg.conf"
start_x_server "${priority[@]}" Xorg -config "$work/xorg.conf" -logfile "$work/xorg.log" -noreset \
  -nolisten tcp -novtswitch -sharevts || { echo "Xorg did not start; see $work/xorg.log" >&2; exit 1; }
export DISPLAY="$XVFB_DISPLAY"
output=$(xrandr | awk '/ connected/ { print $1; exit }')

# CPU time of the given processes so far (every thread), in clock ticks.
ticks() { local t=0 pid; for pid in "$@"; do t=$((t + $(awk '{ print $14 + $15 }' "/proc/$pid/stat"))); done; echo $t; }
hz=$(getconf CLK_TCK)
warm_up=3

mkdir -p "$work/config/larkspill" "$work/runtime"
chmod 700 "$work/runtime"
table() { if [ -n "$out" ]; then tee -a "$out"; else cat; fi; }
[ -z "$out" ] || : >"$out"
names="butterfly1 butterfly2 butterfly3 butterfly4 butterfly5 flock bird1 bird2"
echo "$size, $seconds s a rate, ${priority[*]}, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start" | table
{
  printf '| Hz | fps | cpu %% |'
  for n in $names; do printf ' %s x/y |' "$n"; done
  echo
  printf '|---|---|---|'; for n in $names; do printf -- '---|'; done; echo
} | table
for rate in $rates; do
  xrandr --output "$output" --mode "${size}_$rate" >/dev/null
  shown=$(xrandr | awk '/\*/ { for (i = 2; i <= NF; ++i) if ($i ~ /\*/) { sub(/[*+]+/, "", $i); print $i } }')
  XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" \
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null LARKSPILL_TRACE=1 \
    "${priority[@]}" "$saver" /s 2>"$work/trace.$rate" &
  saver_pid=$!
  sleep "$warm_up"
  before=$(ticks "$saver_pid" "$XVFB_PID")
  sleep "$((seconds - warm_up))"
  after=$(ticks "$saver_pid" "$XVFB_PID")
  cpu=$(awk -v t=$((after - before)) -v hz="$hz" -v s=$((seconds - warm_up)) 'BEGIN { printf "%.1f", 100 * t / hz / s }')
  kill -TERM "$saver_pid" 2>/dev/null || true
  wait "$saver_pid" 2>/dev/null || true
  saver_pid=""
  # Sprites 1 to 8 are butterflies 1-5, the flock and the single birds, in the order they are made.
  awk -v rate="$rate ($shown)" -v cpu="$cpu" '
    /larkspill-trace frames/ { frames = $3 }
    /larkspill-trace seconds/ { secs = $3 }
    /larkspill-trace sprite/ {
      draws[$3] = $5; px[$3] = $7; py[$3] = $9
      for (i = 10; i < NF; ++i) { if ($i == "path_x") px[$3] = $(i + 1); if ($i == "path_y") py[$3] = $(i + 1) }
    }
    END {
      fps = (frames - 1) / secs
      printf "| %s | %.1f | %s |", rate, fps, cpu
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
