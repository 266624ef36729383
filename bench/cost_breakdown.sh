#!/usr/bin/env bash
# Where the saver's cost goes, per second of steady running at 800x600 on Xvfb (first-run
# settings, sound through SDL's disk driver):
#
#   bench/cost_breakdown.sh [--build DIR | --saver FILE] [--seconds S] [--no-callgrind] [--out FILE]
#
# (--saver names a copy of a build's larkspill, to compare builds of one tree.)
# 1. In real time: wake-ups (voluntary context switches) and CPU of the saver's main thread, its
#    sound thread, its other threads and the X server; frames and pixels composed and sent, from
#    LARKSPILL_TRACE.
# 2. Under callgrind (the counters zeroed once the saver runs, dumped S seconds later):
#    instructions a frame of the main thread, a second of sound of the sound thread, a frame of
#    the X server (run under callgrind in a pass of its own), and each one's costliest functions.
#    Instruction counts repeat within about a percent on a loaded machine; CPU time does not.
# 3. The floor: what 60 wake-ups a second sending the saver's pixels cost in CPU time with
#    nothing else (bench/floor_probe, measured with its X server as the saver is); and in
#    instructions, the part of the main thread's instructions spent composing the changed pixels
#    and sending them (PaintDrawing and X11Presenter::Show, inclusive), which the scene's changes
#    alone must cost; the rest of the thread is the frame loop around them. The pixels themselves
#    vary a few percent from run to run (the creatures start at random places): compare builds
#    by the instructions above the floor.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="$here/../build-test"
saver=""
seconds=10
callgrind=1
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --saver) saver="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --no-callgrind) callgrind=0; shift ;;
    --out) out="$2"; shift 2 ;;
    *) echo "usage: $0 [--build DIR | --saver FILE] [--seconds S] [--no-callgrind] [--out FILE]" >&2
       exit 2 ;;
  esac
done
[ -n "$saver" ] || saver="$(cd "$build" && pwd)/larkspill"
[ -x "$saver" ] || { echo "no saver at $saver (build the larkspill target)" >&2; exit 1; }
source "$here/../scripts/deps.sh"

work="$(mktemp -d /tmp/larkspill-breakdown.XXXXXX)"
saver_pid=""
XVFB_PID=""
cleanup() { kill $saver_pid $XVFB_PID 2>/dev/null || true; wait 2>/dev/null || true; }
trap cleanup EXIT

# Fresh settings and runtime folders; the sound goes to /dev/null at the device's pace.
saver_env() {
  rm -rf "$work/config" "$work/run"
  mkdir -p "$work/config" "$work/run"
  chmod 700 "$work/run"
  echo "XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null LARKSPILL_TRACE=1"
}

# "tid comm run_ns voluntary_switches" for every thread of a process.
threads() {
  local task tid comm run rest vol
  for task in /proc/"$1"/task/*; do
    tid=${task##*/}
    comm=$(tr ' ' _ <"$task/comm" 2>/dev/null) || continue
    read -r run rest <"$task/schedstat" 2>/dev/null || continue
    vol=$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$task/status" 2>/dev/null) || continue
    echo "$tid $comm $run $vol"
  done
}

# Pass 1: real time.
start_xvfb 800x600x24 || exit 1
# shellcheck disable=SC2046
env $(saver_env) DISPLAY="$XVFB_DISPLAY" "$saver" /s 2>"$work/trace" &
saver_pid=$!
sleep 3
threads "$saver_pid" >"$work/saver.0"; threads "$XVFB_PID" >"$work/x.0"; t0=$(date +%s%N)
sleep "$seconds"
threads "$saver_pid" >"$work/saver.1"; threads "$XVFB_PID" >"$work/x.1"; t1=$(date +%s%N)
kill -TERM "$saver_pid"; wait "$saver_pid" 2>/dev/null || true; saver_pid=""
kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null || true; XVFB_PID=""

# Per group of threads: CPU % of a core and wake-ups a second over the window.
rates() {  # before after group-of-thread-awk-expression
  awk -v ns=$((t1 - t0)) '
    NR == FNR { run[$1] = $3; vol[$1] = $4; next }
    { g = ('"$3"'); cpu[g] += $3 - run[$1]; wake[g] += $4 - vol[$1] }
    END { for (g in cpu) printf "%s %.3f %.1f\n", g, 100 * cpu[g] / ns, wake[g] * 1e9 / ns }' "$1" "$2"
}
# The main thread's id is the process's: the lowest of its threads.
main_tid=$(sort -n "$work/saver.0" | awk 'NR == 1 { print $1 }')
rates "$work/saver.0" "$work/saver.1" \
  '$1 == '"$main_tid"' ? "main" : ($2 ~ /^SDLAudio/ ? "sound" : "other")' >"$work/saver.rates"
rates "$work/x.0" "$work/x.1" '"x"' >"$work/x.rates"
read -r frames_s composed_s presented_s parts_s < <(awk '
  /larkspill-trace frames/ { f = $3 } /larkspill-trace seconds/ { s = $3 }
  /larkspill-trace pixels_composed/ { c = $3 } /larkspill-trace pixels_presented/ { p = $3 }
  /larkspill-trace parts_presented/ { n = $3 }
  END { w = 800 * 600; printf "%.2f %.0f %.0f %.1f\n", (f - 1) / s, (c - w) / s, (p - w) / s, (n - 1) / s }' "$work/trace")
figure() { awk -v g="$2" -v c="$3" '$1 == g { print $c }' "$1"; }

# The floor in CPU time: bench/floor_probe on the saver's grid, with nothing else, then sending
# one pixel a frame, then the saver's own pixels in its own number of parts a frame; measured
# with the X server as the saver is.
probe="$(dirname "$saver")/bench/floor_probe"
[ -x "$probe" ] || probe="$build/bench/floor_probe"
floor_cpu=()
if [ -x "$probe" ]; then
  per_frame() { awk -v a="$1" -v f="$frames_s" 'BEGIN { n = a / f; printf "%d", n < 1 ? 1 : n + 0.5 }'; }
  parts_frame=$(per_frame "$parts_s")
  pixels_frame=$(per_frame "$presented_s")
  for probe_args in "" "1 1" "$parts_frame $pixels_frame"; do
    start_xvfb 800x600x24 || exit 1
    # shellcheck disable=SC2086
    DISPLAY="$XVFB_DISPLAY" "$probe" $probe_args &
    saver_pid=$!
    sleep 3
    threads "$saver_pid" >"$work/probe.0"; threads "$XVFB_PID" >"$work/px.0"; t0=$(date +%s%N)
    sleep "$seconds"
    threads "$saver_pid" >"$work/probe.1"; threads "$XVFB_PID" >"$work/px.1"; t1=$(date +%s%N)
    kill "$saver_pid"; wait "$saver_pid" 2>/dev/null || true; saver_pid=""
    kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null || true; XVFB_PID=""
    rates "$work/probe.0" "$work/probe.1" '"probe"' >"$work/probe.rates"
    rates "$work/px.0" "$work/px.1" '"x"' >"$work/px.rates"
    floor_cpu+=("$(figure "$work/probe.rates" probe 2), $(figure "$work/px.rates" x 2)")
  done
fi

# Pass 2 and 3: instructions under callgrind.
ir_main="" ir_sound="" ir_x="" floor="" above="" cg_frames=""
if [ "$callgrind" = 1 ] && command -v valgrind >/dev/null; then
  start_xvfb 800x600x24 || exit 1
  # shellcheck disable=SC2046
  env $(saver_env) DISPLAY="$XVFB_DISPLAY" valgrind --tool=callgrind --separate-threads=yes \
    --callgrind-out-file="$work/cg.saver" "$saver" /s 2>"$work/cg.saver.log" &
  saver_pid=$!
  sleep 12  # the start under callgrind
  callgrind_control -z "$saver_pid" >/dev/null
  sleep "$seconds"
  callgrind_control -d "$saver_pid" >/dev/null
  kill -TERM "$saver_pid"; wait "$saver_pid" 2>/dev/null || true; saver_pid=""
  kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null || true; XVFB_PID=""

  # The X server under callgrind, the saver at its own pace.
  start_x_server valgrind --tool=callgrind --callgrind-out-file="$work/cg.x" \
    Xvfb -screen 0 800x600x24 -nolisten tcp || exit 1
  # shellcheck disable=SC2046
  env $(saver_env) DISPLAY="$XVFB_DISPLAY" "$saver" /s 2>"$work/trace.x" &
  saver_pid=$!
  sleep 4
  callgrind_control -z "$XVFB_PID" >/dev/null
  sleep "$seconds"
  callgrind_control -d "$XVFB_PID" >/dev/null
  kill -TERM "$saver_pid"; wait "$saver_pid" 2>/dev/null || true; saver_pid=""
  kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null || true; XVFB_PID=""

  python3 "$here/callgrind_summary.py" "$work" "$seconds" >"$work/cg.summary"
  ir_main=$(awk '$1 == "main_ir_per_frame" { print $2 }' "$work/cg.summary")
  ir_sound=$(awk '$1 == "sound_ir_per_second" { print $2 }' "$work/cg.summary")
  ir_x=$(awk '$1 == "x_ir_per_second" { print $2 }' "$work/cg.summary")
  floor=$(awk '$1 == "floor_ir_per_frame" { print $2 }' "$work/cg.summary")
  above=$(awk '$1 == "above_floor_ir_per_frame" { print $2 }' "$work/cg.summary")
  cg_frames=$(awk '$1 == "frames_per_second" { print $2 }' "$work/cg.summary")
fi

report() {
  echo "Cost breakdown, 800x600, $seconds s from 3 s after start; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "| Per second | Figure |"
  echo "|---|---|"
  printf '| frames | %s |\n' "$frames_s"
  printf '| pixels composed | %s |\n' "$composed_s"
  printf '| pixels sent to the X server | %s |\n' "$presented_s"
  for g in main sound other; do
    printf '| %s thread(s): wake-ups, CPU %% of a core | %s, %s |\n' "$g" \
      "$(figure "$work/saver.rates" "$g" 3)" "$(figure "$work/saver.rates" "$g" 2)"
  done
  printf '| X server: wake-ups, CPU %% of a core | %s, %s |\n' \
    "$(figure "$work/x.rates" x 3)" "$(figure "$work/x.rates" x 2)"
  printf '| parts sent to the X server | %s |\n' "$parts_s"
  if [ "${#floor_cpu[@]}" = 3 ]; then
    printf '| the floor, CPU %% of a core of floor_probe and the X server: 60 wake-ups | %s |\n' "${floor_cpu[0]}"
    printf '| the floor: 60 wake-ups sending a pixel each | %s |\n' "${floor_cpu[1]}"
    printf '| the floor: 60 wake-ups sending the saver'"'"'s %s pixels in %s parts each | %s |\n' \
      "$pixels_frame" "$parts_frame" "${floor_cpu[2]}"
  fi
  if [ -n "$ir_main" ]; then
    printf '| main thread instructions a frame (callgrind, %s frames/s there) | %s |\n' "$cg_frames" "$ir_main"
    printf '| of which composing and sending the changed pixels (the floor) | %s |\n' "$floor"
    printf '| of which the frame loop around them (above the floor) | %s |\n' "$above"
    printf '| sound thread instructions a second of sound | %s |\n' "$ir_sound"
    printf '| X server instructions a second | %s |\n' "$ir_x"
    echo
    sed -n '/^profile/,$p' "$work/cg.summary"
  fi
}
if [ -n "$out" ]; then report | tee "$out"; else report; fi
echo "raw figures: $work" >&2
