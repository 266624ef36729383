#!/usr/bin/env bash
# Whole-process measurements of the saver beside peer screen savers, on Xvfb:
#
#   bench/measure.sh [--build DIR] [--runs N] [--seconds S] [--timer-seconds T] [--no-peers]
#                    [--out FILE]
#
# For each run, at 800x600, at 1920x1080 and at 3840x2160 (the larger two showing the pictures
# painted at their scale, from a cache the saver fills once before the runs, in the way it does
# for a user: the scene at the screen's height, the wide forest to its edges): CPU of the saver
# and of its X server together over S seconds of running (from 3 s after start, once painted
# pictures are in); the time from starting the process to its first frame on the screen; peak
# resident memory; the pixels composed and sent a frame; and at 800x600 each creature's speed in scene pixels a second (from the trace's path) against its delay stretched to whole 60 Hz frames. The
# peers (xscreensaver's ripples and swirl, xfishtank) run with -root on an 800x600 Xvfb of their
# own in the same run. With --timer-seconds T (T > 0) one further run of T seconds counts the
# one-second timer's ticks through the clock texts it shows.
# Figures are medians of the runs, each set against its budget; the table goes to stdout (and
# FILE with --out), the raw figures of every run to the folder named at the end.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="$here/../build-perf"
runs=5
seconds=10
timer_seconds=0
peers=1
out=""
sizes="800x600x24 1920x1080x24 3840x2160x24"
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --timer-seconds) timer_seconds="$2"; shift 2 ;;
    --no-peers) peers=0; shift ;;
    --out) out="$2"; shift 2 ;;
    *) echo "usage: $0 [--build DIR] [--runs N] [--seconds S] [--timer-seconds T] [--no-peers] [--out FILE]" >&2
       exit 2 ;;
  esac
done
saver="$(cd "$build" && pwd)/larkspill"
[ -x "$saver" ] || { echo "no saver at $saver (build the larkspill target)" >&2; exit 1; }

work="$(mktemp -d /tmp/larkspill-measure.XXXXXX)"
xvfb_pid=""
child_pid=""
cleanup() {
  [ -n "$child_pid" ] && kill "$child_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

# Starts an Xvfb of the given size on a free display number; sets xvfb_pid and DISPLAY_NAME.
start_xvfb() {
  local size="$1" fifo="$work/displayfd"
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp 3>"$fifo" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  local number
  read -r number <"$fifo"
  DISPLAY_NAME=":$number"
}
stop_xvfb() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

# CPU time of every thread of a process so far, in nanoseconds.
cpu_ns() {
  local total=0 run rest
  for stat in /proc/"$1"/task/*/schedstat; do
    read -r run rest <"$stat" 2>/dev/null || continue
    total=$((total + run))
  done
  echo "$total"
}

# Runs a command with -root-style drawing for warm-up + S seconds; prints
# "cpu_client_pct cpu_x_pct peak_rss_kb" and leaves the client's stderr in $work/last.err.
measure_client() {
  local warm="$1"; shift
  "$@" 2>"$work/last.err" &
  child_pid=$!
  sleep "$warm"
  if ! kill -0 "$child_pid" 2>/dev/null; then
    echo "the client ended early: $*" >&2
    cat "$work/last.err" >&2
    child_pid=""
    return 1
  fi
  local c0 x0 t0 c1 x1 t1 rss
  c0=$(cpu_ns "$child_pid"); x0=$(cpu_ns "$xvfb_pid"); t0=$(date +%s%N)
  sleep "$seconds"
  c1=$(cpu_ns "$child_pid"); x1=$(cpu_ns "$xvfb_pid"); t1=$(date +%s%N)
  rss=$(awk '/VmHWM/ {print $2}' /proc/"$child_pid"/status)
  kill -TERM "$child_pid" 2>/dev/null || true
  wait "$child_pid" 2>/dev/null || true
  child_pid=""
  awk -v c=$((c1 - c0)) -v x=$((x1 - x0)) -v t=$((t1 - t0)) -v r="$rss" \
    'BEGIN { printf "%.3f %.3f %d\n", 100 * c / t, 100 * x / t, r }'
}

saver_env() {
  local config="$work/config.$1" runtime="$work/runtime.$1"
  rm -rf "$config" "$runtime"
  mkdir -p "$config" "$runtime"
  chmod 700 "$runtime"
  # A fresh settings folder gives first-run values; a runtime folder of its own keeps the
  # single-instance lock away from any other saver running on this machine.
  echo "XDG_CONFIG_HOME=$config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$runtime SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null LARKSPILL_TRACE=1"
}

# One run of the saver on a fresh Xvfb of `size`; appends a line of figures to $work/saver.SIZE.
run_saver() {
  local size="$1" run="$2"
  start_xvfb "$size"
  local launch_ns figures variables
  # The folders are made before the clock starts: only the saver's own start is timed.
  variables=$(saver_env "$run")
  launch_ns=$(date +%s%N)
  # shellcheck disable=SC2086
  figures=$(measure_client 3 env $variables DISPLAY="$DISPLAY_NAME" "$saver" /s)
  stop_xvfb
  cp "$work/last.err" "$work/saver.$size.$run.trace"
  local first
  first=$(awk '/first_frame_realtime_ns/ {print $3}' "$work/last.err")
  [ -n "$first" ] || { echo "no trace from the saver (run $run, $size)" >&2; cat "$work/last.err" >&2; exit 1; }
  # A second start on the same settings folder: the first-run values are written by now.
  start_xvfb "$size"
  local again_ns again
  variables=$(saver_env "again.$run")
  again_ns=$(date +%s%N)
  # shellcheck disable=SC2086
  env $variables XDG_CONFIG_HOME="$work/config.$run" \
    DISPLAY="$DISPLAY_NAME" "$saver" /s 2>"$work/again.err" &
  child_pid=$!
  sleep 1.5
  kill -TERM "$child_pid" 2>/dev/null || true
  wait "$child_pid" 2>/dev/null || true
  child_pid=""
  stop_xvfb
  again=$(awk '/first_frame_realtime_ns/ {print $3}' "$work/again.err")
  [ -n "$again" ] || again=$launch_ns
  echo "$figures $(( (first - launch_ns) / 1000 )) $(( (again - again_ns) / 1000 ))" >>"$work/saver.$size"
}

run_peer() {
  local name="$1"; shift
  # A peer that is not installed is left out of the table, said once.
  if [ ! -x "$1" ]; then
    [ -e "$work/missing.$name" ] || echo "peer $name not installed ($1): left out" >&2
    touch "$work/missing.$name"
    return 0
  fi
  start_xvfb 800x600x24
  measure_client 2 env DISPLAY="$DISPLAY_NAME" "$@" >>"$work/peer.$name"
  stop_xvfb
}

median() {  # of the numbers on stdin
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { print "n/a"; exit } ;
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
column_median() { awk -v c="$2" '{ print $c }' "$1" | median; }

echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(uname -r)" >&2
echo "runs: $runs x $seconds s; raw figures in $work" >&2

# The pictures painted at each screen's scale, once, as a user's first run paints them: the saver
# runs until its painter has put them into the cache (a few minutes at most at 3840x2160).
paint_for() {
  local size="$1" scale
  scale=$(awk -v s="${size#*x}" 'BEGIN { printf "%.4f", (s + 0) / 600 }')
  [ "$scale" = 1.0000 ] && return 0
  start_xvfb "$size"
  # shellcheck disable=SC2046
  env $(saver_env paint) DISPLAY="$DISPLAY_NAME" "$saver" /s 2>"$work/paint.err" &
  child_pid=$!
  local i
  for i in $(seq 1 600); do
    compgen -G "$work/cache/larkspill/pictures-$scale-*" >/dev/null && break
    sleep 0.5
  done
  kill -TERM "$child_pid" 2>/dev/null || true
  wait "$child_pid" 2>/dev/null || true
  child_pid=""
  stop_xvfb
  compgen -G "$work/cache/larkspill/pictures-$scale-*" >/dev/null ||
    { echo "nothing painted at $scale for $size" >&2; cat "$work/paint.err" >&2; exit 1; }
}
for size in $sizes; do paint_for "$size"; done

for run in $(seq 1 "$runs"); do
  echo "run $run of $runs (load: $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  for size in $sizes; do run_saver "$size" "$run"; done
  if [ "$peers" = 1 ]; then
    run_peer ripples /usr/libexec/xscreensaver/ripples -root
    run_peer swirl /usr/libexec/xscreensaver/swirl -root
    run_peer xfishtank /usr/games/xfishtank
  fi
done

# Creature speeds from the traces of the 800x600 runs: scene pixels a second while shown, along
# the axis every step moves on, against one pixel per ceil(delay / 16.67 ms) of time (a step
# every so many frames of 60 Hz, whatever the frame rate). Sprite numbers (the order the scene loads its pictures) and delays are the scene's:
# butterflies 1-3 step every 15 ms (a pixel up or down each), 4 every 25 ms and 5 every 6 ms (up
# or down; the drift timer's pixel left is not a step), the flock and both single birds every
# BirdSpeed = 25 ms (a pixel right each).
pace_report() {
  for trace in "$work"/saver.800x600x24.*.trace; do
    awk '
      /larkspill-trace frames/ { frames = $3 }
      /larkspill-trace seconds/ { secs = $3 }
      # The path in scene pixels where the trace gives it (a step is a pixel along its axis).
      /larkspill-trace sprite/ { draws[$3] = $5; mx[$3] = $7; my[$3] = $9
        for (i = 10; i < NF; ++i) { if ($i == "path_x") mx[$3] = $(i + 1); if ($i == "path_y") my[$3] = $(i + 1) } }
      END {
        fps = (frames - 1) / secs
        split("1 2 3 4 5 6 7 8", ids, " ")
        split("15 15 15 25 6 25 25 25", delay, " ")
        split("y y y y y x x x", axis, " ")
        split("butterfly1 butterfly2 butterfly3 butterfly4 butterfly5 flock bird1 bird2", name, " ")
        for (i = 1; i <= 8; ++i) {
          id = ids[i]; if (draws[id] < 60) continue
          steps = axis[i] == "x" ? mx[id] : my[id]
          per = 1; while (per * (1000 / 60) < delay[i]) ++per
          # Pixels a second while shown, against a pixel every `per` frames of 60 Hz.
          actual = steps / draws[id] * fps; expect = 60 / per
          printf "%s %.2f %.2f %.2f\n", name[i], actual, expect, 100 * (actual - expect) / expect
        }
        printf "fps %.3f\n", fps
      }' "$trace"
  done
}

# "yes" when the figure is within its budget, else by how much it is over.
verdict() {  # figure limit unit
  awk -v v="$1" -v l="$2" -v u="$3" 'BEGIN { if (v <= l) print "yes"; else printf "no, %.2f%s over\n", v - l, u }'
}

# Medians over the runs at one size, from the traces: frames a second, pixels composed and pixels
# sent to the X server a frame.
frame_work() {
  for trace in "$work"/saver."$1".*.trace; do
    awk '/larkspill-trace frames/ { f = $3 } /larkspill-trace seconds/ { s = $3 }
      /larkspill-trace pixels_composed/ { c = $3 } /larkspill-trace pixels_presented/ { p = $3 }
      END { if (f > 1) printf "%.2f %.0f %.0f\n", (f - 1) / s, c / f, p / f }' "$trace"
  done >"$work/work.$1"
  printf '%s fps, %s composed, %s sent' "$(column_median "$work/work.$1" 1)" \
    "$(column_median "$work/work.$1" 2)" "$(column_median "$work/work.$1" 3)"
}

report() {
  local s800="$work/saver.800x600x24"
  if [ ! -s "$s800" ]; then  # --runs 0: the timer run alone
    [ -s "$work/timer" ] && printf '| Timer1 ticks | %s +- 1 in %s s | %s | | |\n' "$timer_seconds" "$timer_seconds" "$(cat "$work/timer")"
    return 0
  fi
  echo "Machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'); Xvfb; median of $runs runs, $seconds s each; $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "| Figure | Budget | Larkspill | Within | Peers, same run |"
  echo "|---|---|---|---|---|"
  local cpu800 peer_text="" below="yes" lighter=""
  cpu800=$(awk '{ print $1 + $2 }' "$s800" | median)
  if [ "$peers" = 1 ]; then
    for p in ripples swirl xfishtank; do
      [ -s "$work/peer.$p" ] || continue
      local c
      c=$(awk '{ print $1 + $2 }' "$work/peer.$p" | median)
      peer_text="$peer_text $p $(printf '%.2f' "$c")% (x$(awk -v a="$cpu800" -v b="$c" 'BEGIN { printf "%.2f", a / b }'));"
      if [ "$p" != xfishtank ]; then
        if [ -z "$lighter" ] || awk -v a="$c" -v b="$lighter" 'BEGIN { exit !(a < b) }'; then lighter=$c; fi
      fi
    done
    # At most 0.55 times the lighter of ripples and swirl.
    if [ -z "$lighter" ]; then
      below="$below (ripples and swirl not installed)"
    elif awk -v a="$cpu800" -v b="$lighter" 'BEGIN { exit !(a > 0.55 * b) }'; then
      below="no, $(awk -v a="$cpu800" -v b="$lighter" 'BEGIN { printf "%.2f", a / b }') times the lighter peer"
    fi
  else
    below="$below (peers not run)"
  fi
  local size file name limit within
  for size in $sizes; do
    file="$work/saver.$size"; name="${size%x24}"
    local cpu ratio=""
    cpu=$(awk '{ print $1 + $2 }' "$file" | median)
    # The larger screens' budgets are ratios to the 800x600 figure of the same runs.
    case "$name" in 800x600) limit=1.2 ;; 1920x1080) ratio=1.6 ;; *) ratio=3.5 ;; esac
    [ -z "$ratio" ] || limit=$(awk -v r="$ratio" -v c="$cpu800" 'BEGIN { printf "%.2f", r * c }')
    within=$(verdict "$cpu" "$limit" " points")
    if [ "$name" = 800x600 ]; then
      [ "$within" = yes ] && within="$below"
      printf '| CPU, saver + X server, 800x600 | <= 1.2%% and <= 0.55 x the lighter of ripples and swirl | %.2f%% (saver %.2f%%, X %.2f%%) | %s |%s |\n' \
        "$cpu" "$(column_median "$file" 1)" "$(column_median "$file" 2)" "$within" "$peer_text"
    else
      printf '| CPU, saver + X server, %s, painted at its scale | <= %s x the 800x600 figure (%s%%) | %.2f%% (saver %.2f%%, X %.2f%%; x%.2f) | %s | |\n' \
        "$name" "$ratio" "$limit" "$cpu" "$(column_median "$file" 1)" "$(column_median "$file" 2)" \
        "$(awk -v a="$cpu" -v b="$cpu800" 'BEGIN { print a / b }')" "$within"
    fi
  done
  for size in $sizes; do
    file="$work/saver.$size"; name="${size%x24}"
    local first again budget="none" first_within="" again_within=""
    first=$(awk '{ print $4 / 1000 }' "$file" | median)
    again=$(awk '{ print $5 / 1000 }' "$file" | median)
    local most=150
    [ "$name" != 800x600 ] || most=120
    budget="<= $most ms"
    first_within=$(verdict "$first" "$most" " ms")
    again_within=$(verdict "$again" "$most" " ms")
    printf '| Start to first frame, %s, first start (fresh settings folder) | %s | %.0f ms (runs: %s) | %s | |\n' \
      "$name" "$budget" "$first" "$(awk '{ printf "%s%.0f", (NR > 1 ? " " : ""), $4 / 1000 }' "$file")" "$first_within"
    printf '| the same, settings already written | %s | %.0f ms (runs: %s) | %s | |\n' \
      "$budget" "$again" "$(awk '{ printf "%s%.0f", (NR > 1 ? " " : ""), $5 / 1000 }' "$file")" "$again_within"
  done
  local peer_rss=""
  if [ "$peers" = 1 ]; then
    for p in ripples swirl xfishtank; do
      [ -s "$work/peer.$p" ] || continue
      peer_rss="$peer_rss $p $(awk '{ print $3 / 1024 }' "$work/peer.$p" | median | xargs printf '%.1f') MiB;"
    done
  fi
  for size in $sizes; do
    file="$work/saver.$size"; name="${size%x24}"
    local rss rss_max largest_mb
    rss=$(awk '{ print $3 / 1024 }' "$file" | median)
    rss_max=$(awk '{ print $3 / 1024 }' "$file" | sort -g | tail -1)
    # VmHWM is in KiB; the budget is in MB of 10^6 bytes, held by the largest run.
    largest_mb=$(awk -v m="$rss_max" 'BEGIN { printf "%.2f", m * 1048576 / 1e6 }')
    local most=160
    case "$name" in 800x600) most=40 ;; 1920x1080) most=64 ;; esac
    printf '| Peak resident memory, %s | <= %s MB | %.1f MiB median, %.1f MiB (%.1f MB) largest | %s |%s |\n' \
      "$name" "$most" "$rss" "$rss_max" "$largest_mb" "$(verdict "$largest_mb" "$most" " MB")" "$peer_rss"
    peer_rss=""
  done
  local pace worst
  pace=$(pace_report)
  worst=$(echo "$pace" | awk '$1 != "fps" { d = $4 < 0 ? -$4 : $4; if (d > w) { w = d; n = $1 } } END { printf "%.2f%% (%s)", w, n }')
  printf '| Creature pace | within 2%% | worst %s over all runs | %s | |\n' "$worst" \
    "$(verdict "${worst%%%*}" 2 " points")"
  if [ -s "$work/timer" ]; then
    printf '| Timer1 ticks | %s +- 1 in %s s | %s | | |\n' "$timer_seconds" "$timer_seconds" "$(cat "$work/timer")"
  else
    printf '| Timer1 ticks | 600 +- 1 in 600 s | not run (--timer-seconds 600) | | |\n'
  fi
  echo
  echo "Work a frame (medians; pixels composed into the frame, pixels sent to the X server):"
  for size in $sizes; do
    printf '  %-10s %s\n' "${size%x24}" "$(frame_work "$size")"
  done
  echo
  echo "Runs one by one (saver %, X %, peak KiB, first start us, second start us):"
  for size in $sizes; do
    printf '  %-10s %s\n' "${size%x24}" "$(awk '{ printf "%s%s/%s/%s/%s/%s", (NR > 1 ? ", " : ""), $1, $2, $3, $4, $5 }' "$work/saver.$size")"
  done
  echo
  echo "Creature pace, run by run (name, scene pixels/s, expected, difference %):"
  echo "$pace" | awk '$1 == "fps" { printf "  frame rate %s\n", $2; next } { printf "  %-11s %7s %7s %6s%%\n", $1, $2, $3, $4 }'
}

if [ "$timer_seconds" -gt 0 ]; then
  echo "timer run: $timer_seconds s" >&2
  start_xvfb 800x600x24
  # shellcheck disable=SC2046
  env $(saver_env timer) DISPLAY="$DISPLAY_NAME" "$saver" /s 2>"$work/timer.err" &
  child_pid=$!
  # Ticks are counted from the first frame on; the start takes well under a second.
  sleep "$((timer_seconds + 1))"
  kill -TERM "$child_pid"
  wait "$child_pid" 2>/dev/null || true
  child_pid=""
  stop_xvfb
  # The clock shows midnight until the first tick; each tick then sets a new time of day.
  awk -v s="$timer_seconds" '/texts_at 0 1 / { t = $6 } /larkspill-trace seconds/ { secs = $3 }
    END { printf "%d ticks in %.1f s of frames (%d clock texts shown, less the midnight of the first second)", t - 1, secs, t }' \
    "$work/timer.err" >"$work/timer"
fi

if [ -n "$out" ]; then report | tee "$out"; else report; fi
echo "raw figures: $work" >&2
trap - EXIT
cleanup
