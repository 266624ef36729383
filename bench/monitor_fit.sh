#!/usr/bin/env bash
# How the saver fills each monitor of desks people have, on Xorg's dummy driver with real RandR
# outputs:
#
#   bench/monitor_fit.sh [--build DIR] [--out FILE] [--shots DIR] [--case NAME]... [--span]
#
# For each desk, each monitor's black share (pixels exactly black: borders, since the scene has
# none) and its detail against the same monitor alone (the spread of its Laplacian, a measure of
# sharpness, over that of a desk of that monitor only). The creatures and texts are off and the
# first waterfall always shows, so only the water differs between shots; above 1, the monitor
# shows a frame shrunk to fit. Pictures painted at a scale are painted once into a cache shared
# by every run; a run waits until the saver has no painter running.
# With --span one forest spreads across each desk's monitors (SpanMonitors=1).
# The table goes to stdout (and FILE); screenshots to DIR (default: a folder named at the end).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../scripts/deps.sh"
build="$here/../build"
out=""
shots=""
only=()
span=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --shots) shots="$2"; shift 2 ;;
    --case) only+=("$2"); shift 2 ;;
    --span) span=1; shift ;;
    *) echo "usage: $0 [--build DIR] [--out FILE] [--shots DIR] [--case NAME]... [--span]" >&2; exit 2 ;;
  esac
done
saver="$(cd "$build" && pwd)/larkspill"
[ -x "$saver" ] || { echo "no program at $saver" >&2; exit 2; }
work=$(mktemp -d /tmp/larkspill-fit.XXXXXX)
shots="${shots:-$work/shots}"
mkdir -p "$shots" "$work/cache"
server_pid=""
trap 'kill $server_pid 2>/dev/null || true; pkill -KILL -f "XDG_RUNTIME_DIR=$work" 2>/dev/null || true' EXIT

# Each desk: a name, then its monitors as WxH+X+Y, the primary one marked with a leading '*'.
cases=(
  "landscape-portrait 2560x1440+0+0 1080x1920+2560+0"
  "portrait-landscape 1080x1920+0+0 2560x1440+1080+0"
  "square-wide 1280x1024+0+0 1920x1080+1280+0"
  "laptop-4k 1366x768+0+0 *3840x2160+1366+0"
  "three-1080p 1920x1080+0+0 1920x1080+1920+0 1920x1080+3840+0"
  "three-small 1024x576+0+0 1024x576+1024+0 1024x576+2048+0"
)

# geometry MONITOR: its "W H X Y".
geometry() { local m="${1#\*}"; echo "${m%%x*} $(echo "${m#*x}" | tr '+' ' ')"; }

# start_desk MONITOR...: an Xorg with the dummy driver showing these monitors.
start_desk() {
  local conf="$work/xorg.conf" i=0 m w h x y right=0 bottom=0 args=()
  for m in "$@"; do
    read -r w h x y <<<"$(geometry "$m")"
    right=$((right > x + w ? right : x + w)); bottom=$((bottom > y + h ? bottom : y + h))
  done
  printf '%s\n' 'Section "ServerFlags"' 'Option "AutoAddDevices" "false"' 'Option "DontVTSwitch" "true"' \
    EndSection 'Section "Device"' 'Identifier "d"' 'Driver "dummy"' 'VideoRam 512000' EndSection \
    'Section "Monitor"' 'Identifier "m"' 'HorizSync 5-1000' 'VertRefresh 5-200' EndSection \
    'Section "Screen"' 'Identifier "s"' 'Device "d"' 'Monitor "m"' 'DefaultDepth 24' 'SubSection "Display"' \
    'Depth 24' 'Modes "800x600"' "Virtual $right $bottom" EndSubSection EndSection >"$conf"
  start_x_server Xorg -config "$conf" -logfile "$work/xorg.log" -noreset -nolisten tcp -novtswitch -sharevts ||
    { echo "Xorg with the dummy driver cannot run here" >&2; exit 1; }
  server_pid=$XVFB_PID
  export DISPLAY="$XVFB_DISPLAY"
  for m in "$@"; do
    read -r w h x y <<<"$(geometry "$m")"
    xrandr --newmode "fit${w}x$h" 0 "$w" "$w" "$w" "$w" "$h" "$h" "$h" "$h" 2>/dev/null || true
    xrandr --addmode "DUMMY$i" "fit${w}x$h"
    args+=(--output "DUMMY$i" --mode "fit${w}x$h" --pos "${x}x$y")
    [ "${m:0:1}" != "*" ] || args+=(--primary)
    i=$((i + 1))
  done
  xrandr --fb "${right}x$bottom" "${args[@]}"
  [ "$(xrandr --listmonitors | sed -n 's/^Monitors: //p')" = "$#" ] ||
    { echo "the dummy driver shows $(xrandr --listmonitors | head -1), not $# monitors" >&2; exit 1; }
}

# shoot NAME: runs the saver until it paints no more and shows it, then a screenshot NAME.png.
shoot() {
  local config="$work/config" runtime="$work/run" pid i quiet=0
  rm -rf "$config" "$runtime" && mkdir -p "$config/larkspill" && mkdir -m 700 "$runtime"
  printf '%s\n' "[System]" SetReg=2 "[one]" Clock=0 Birds=0 SingleBird=0 Butter1=0 Butter2=0 waterfall1=1 waterfall2=0 \
    "[two]" ShowMessage=0 "[Startup]" "SpanMonitors=$span" >"$config/larkspill/settings.ini"
  env XDG_CONFIG_HOME="$config" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$runtime" \
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null "$saver" /s 2>"$work/$1.err" &
  pid=$!
  # Painting a scale takes minutes; three quiet seconds after the last painter say it is done.
  for i in $(seq 1 1200); do
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || { echo "the saver ended: $(cat "$work/$1.err")" >&2; exit 1; }
    if [ -z "$(pgrep -P "$pid")" ]; then quiet=$((quiet + 1)); else quiet=0; fi
    [ "$quiet" -ge 6 ] && [ "$i" -ge 8 ] && break
  done
  import -window root "$shots/$1.png"
  kill -TERM "$pid"; wait "$pid" 2>/dev/null || true
}

# black_share SHOT W H X Y: the share of exactly black pixels in that part.
black_share() {
  convert "$1" -crop "$2x$3+$4+$5" +repage -colorspace gray -threshold 0 -negate -format '%[fx:mean]' info:
}
# detail SHOT W H X Y: the spread of the part's Laplacian.
detail() {
  convert "$1" -crop "$2x$3+$4+$5" +repage -colorspace gray -define convolve:bias=50% \
    -morphology Convolve Laplacian:0 -format '%[fx:standard_deviation]' info:
}

table() { echo "$*"; [ -z "$out" ] || echo "$*" >>"$out"; }
[ -z "$out" ] || : >"$out"
echo "machine: $(nproc) cores, $(uname -r); program: $saver ($(git -C "$here/.." rev-parse --short HEAD))" >&2
table "| desk | monitor | black share | detail against it alone |"
table "|---|---|---|---|"
declare -A alone
for entry in "${cases[@]}"; do
  read -r name monitors <<<"$entry"
  if [ ${#only[@]} -gt 0 ] && [[ " ${only[*]} " != *" $name "* ]]; then continue; fi
  # shellcheck disable=SC2086
  start_desk $monitors
  shoot "$name"
  kill "$server_pid"; wait "$server_pid" 2>/dev/null || true
  for m in $monitors; do
    read -r w h x y <<<"$(geometry "$m")"
    if [ -z "${alone[${w}x$h]:-}" ]; then
      start_desk "${w}x$h+0+0"
      shoot "alone-${w}x$h"
      kill "$server_pid"; wait "$server_pid" 2>/dev/null || true
      alone[${w}x$h]=$(detail "$shots/alone-${w}x$h.png" "$w" "$h" 0 0)
    fi
    share=$(black_share "$shots/$name.png" "$w" "$h" "$x" "$y")
    sharp=$(detail "$shots/$name.png" "$w" "$h" "$x" "$y")
    table "$(awk -v n="$name" -v m="$m" -v s="$share" -v d="$sharp" -v a="${alone[${w}x$h]}" \
      'BEGIN { printf "| %s | %s | %.0f%% | %.2f |", n, m, 100 * s, d / a }')"
  done
done
echo "screenshots in $shots" >&2
