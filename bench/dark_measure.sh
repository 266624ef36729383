#!/usr/bin/env bash
# What the saver costs while every monitor is dark: it runs on Xvfb with PwrSave 0 and its sounds
# on for good (SoundOff "Never"), the monitor is made dark through the saver's monitor-power file
# (Xvfb has no power management), and once the dark minute after which the sounds stop has passed,
# the figures are taken over S seconds:
#
#   bench/dark_measure.sh [--build DIR] [--seconds S] [--size WxH] [--sound on|off]
#
# CPU of the saver and of the X server together as a share of one core; the saver's wake-ups a
# second (the times its threads went to sleep and woke again, that is their voluntary context
# switches, those of threads that come and go meanwhile included, looked at every 100 ms), the
# times they were put off the CPU by other work (involuntary switches, which a busy machine
# adds), the X server's wake-ups, and the frames composed in the dark (from the trace).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../scripts/deps.sh"
source "$here/lib_options.sh"
build="$here/../build"
seconds=120
size=800x600
sound=on
parse_options '[--build DIR] [--seconds S] [--size WxH] [--sound on|off]' build seconds size sound -- "$@"
saver=$(saver_in "$build")

work="$(mktemp -d /tmp/larkspill-dark.XXXXXX)"
saver_pid=""
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

start_xvfb "${size}x24"
mkdir -p "$work/config/larkspill" "$work/runtime" && chmod 700 "$work/runtime"
switch=$([ "$sound" = on ] && echo 1 || echo 0)
printf '%s\n' "[One]" SoundOff=Never "[Two]" SoundWater="$switch" SoundBirds="$switch" SoundJungle="$switch" \
  SoundEagle="$switch" "[Startup]" PwrSave=0 "[System]" SetReg=2 >"$work/config/larkspill/settings.ini"
DISPLAY="$XVFB_DISPLAY" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
  XDG_RUNTIME_DIR="$work/runtime" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null LARKSPILL_TRACE=1 \
  LARKSPILL_MONITOR_OFF_FILE="$work/off" "$saver" /s 2>"$work/trace" &
saver_pid=$!
sleep 3
touch "$work/off"
echo "dark from $(date +%T); the sounds stop a minute later" >&2
sleep 65  # the silence comes a minute after the look that saw it dark; the device closes a second later

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Voluntary and involuntary context switches of every thread of process $1 over $2 seconds; a
# thread born meanwhile counts from 0, and one gone counts up to the last look.
switches() {
  local pid=$1 status tid v n voluntary=0 involuntary=0
  declare -A first_v first_n last_v last_n
  local end=$(($(date +%s) + $2))
  for status in /proc/"$pid"/task/*/status; do
    tid=${status%/status} tid=${tid##*/}
    read -r v n < <(awk '/^voluntary_ctxt/ { v = $2 } /^nonvoluntary_ctxt/ { n = $2 } END { print v, n }' "$status")
    first_v[$tid]=$v first_n[$tid]=$n
  done
  while [ "$(date +%s)" -lt "$end" ]; do
    for status in /proc/"$pid"/task/*/status; do
      tid=${status%/status} tid=${tid##*/}
      read -r v n < <(awk '/^voluntary_ctxt/ { v = $2 } /^nonvoluntary_ctxt/ { n = $2 } END { print v, n }' "$status" 2>/dev/null) || continue
      last_v[$tid]=$v last_n[$tid]=$n
    done
    sleep 0.1
  done
  for tid in "${!last_v[@]}"; do
    voluntary=$((voluntary + last_v[$tid] - ${first_v[$tid]:-0}))
    involuntary=$((involuntary + last_n[$tid] - ${first_n[$tid]:-0}))
  done
  echo "$voluntary $involuntary"
}
x_switches() { awk '/^voluntary_ctxt/ { print $2 }' "/proc/$XVFB_PID/status"; }

hz=$(getconf CLK_TCK)
c0=$(($(cpu_ticks "$saver_pid") + $(cpu_ticks "$XVFB_PID"))) x0=$(x_switches)
read -r saver_wakes saver_preempted < <(switches "$saver_pid" "$seconds")
c1=$(($(cpu_ticks "$saver_pid") + $(cpu_ticks "$XVFB_PID"))) x1=$(x_switches)
kill -TERM "$saver_pid"
wait "$saver_pid" || true
saver_pid=""
dark_frames=$(awk '/larkspill-trace dark/ { print $9 }' "$work/trace")
awk -v c=$((c1 - c0)) -v hz="$hz" -v s="$seconds" -v w="$saver_wakes" -v p="$saver_preempted" -v x=$((x1 - x0)) -v f="$dark_frames" \
  -v size="$size" -v sound="$sound" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
  printf "dark, %s, sound %s, %d s: cpu %.3f %% of a core (saver + X server), saver %.2f wake-ups/s (and %.2f/s put off the CPU), X server %.2f wake-ups/s, frames in the dark %s (load average %s)\n",
    size, sound, s, 100 * c / hz / s, w / s, p / s, x / s, f, load }'
