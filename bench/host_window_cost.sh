#!/usr/bin/env bash
# What a host's window larger than its screen costs: CPU of the saver and its X server together,
# and the saver's peak memory, drawing into an 800x600 window, a 16000x16000 one at 0,0 (the screen
# shows a corner of it: black bars) and the same moved so that the screen shows the middle of the
# scene (scaled twenty times), on one 800x600 Xvfb, one after the other in one run; the ratios are
# each large window's CPU over the small one's.
#
#   bench/host_window_cost.sh [--build DIR] [--seconds S]
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="$here/../build-test"
seconds=10
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    *) echo "usage: $0 [--build DIR] [--seconds S]" >&2; exit 2 ;;
  esac
done
saver="$(cd "$build" && pwd)/larkspill" host="$build/tests/e2e/stand_in_host"
[ -x "$saver" ] && [ -x "$host" ] || { echo "build larkspill and stand_in_host in $build first" >&2; exit 1; }
source "$here/../scripts/deps.sh"

work="$(mktemp -d /tmp/larkspill-host-cost.XXXXXX)"
host_pid="" saver_pid=""
trap 'kill $saver_pid $host_pid $XVFB_PID 2>/dev/null || true; rm -rf "$work"' EXIT
start_xvfb 800x600x24 || exit 1
export DISPLAY="$XVFB_DISPLAY" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
mkdir -p -m 700 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"

# CPU time of every thread of a process so far, in nanoseconds.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ t += $1 } END { printf "%d\n", t }'; }

# measure W H [X Y]: prints "saver_pct x_pct peak_kib" for the saver in a W x H host window at X,Y.
measure() {
  rm -f "$work/host"
  "$host" "$1" "$2" >"$work/host" & host_pid=$!
  for _ in $(seq 50); do [ -s "$work/host" ] && break; sleep 0.1; done
  [ $# -lt 4 ] || xdotool windowmove "$(cut -d' ' -f1 "$work/host")" "$3" "$4"
  "$saver" --window-id "$(cut -d' ' -f1 "$work/host")" 2>"$work/saver.err" & saver_pid=$!
  sleep 2
  kill -0 "$saver_pid" || { echo "the saver ended: $(cat "$work/saver.err")" >&2; exit 1; }
  local c0 x0 t0 c1 x1 t1 peak
  c0=$(cpu_ns "$saver_pid") x0=$(cpu_ns "$XVFB_PID") t0=$(date +%s%N)
  sleep "$seconds"
  c1=$(cpu_ns "$saver_pid") x1=$(cpu_ns "$XVFB_PID") t1=$(date +%s%N)
  peak=$(awk '/VmHWM/ { print $2 }' /proc/"$saver_pid"/status)
  kill -TERM "$saver_pid" "$host_pid"; wait "$saver_pid" "$host_pid" 2>/dev/null || true
  awk -v c=$((c1 - c0)) -v x=$((x1 - x0)) -v t=$((t1 - t0)) -v p="$peak" \
    'BEGIN { printf "%.2f %.2f %d\n", 100 * c / t, 100 * x / t, p }'
}

echo "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $seconds s each"
printf '%-28s %8s %8s %8s %10s %6s\n' window saver% X% total% peak_KiB ratio
small=""
for case in "800x600|800 600" "16000x16000 at 0,0|16000 16000" "16000x16000 at -7600,-7700|16000 16000 -7600 -7700"; do
  # shellcheck disable=SC2086
  read -r saver_pct x_pct peak < <(measure ${case#*|})
  total=$(awk -v a="$saver_pct" -v b="$x_pct" 'BEGIN { print a + b }')
  small=${small:-$total}
  printf '%-28s %8s %8s %8s %10s %6s\n' "${case%|*}" "$saver_pct" "$x_pct" "$total" "$peak" \
    "$(awk -v a="$total" -v b="$small" 'BEGIN { printf "%.2f", a / b }')"
done
