#!/usr/bin/env bash
# A long run of the real saver under Xvfb, sampling its resident memory: ./bench/soak.sh [seconds]
# (600 by default). Prints the samples' range and fails when memory grew by more than 1 MB after
# the first minute.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
program="${LARKSPILL:-build/larkspill}"
source scripts/deps.sh
start_xvfb 800x600x24
work=$(mktemp -d /tmp/larkspill-soak.XXXXXX)
trap 'kill "$saver" 2>/dev/null || true; kill "$XVFB_PID" 2>/dev/null || true; rm -rf "$work"' EXIT
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work" SDL_AUDIODRIVER=disk \
  SDL_DISKAUDIOFILE=/dev/null DISPLAY="$XVFB_DISPLAY" "$program" /s 2>"$work/stderr" &
saver=$!
samples=()
for ((t = 0; t <= seconds; t += 10)); do
  kill -0 "$saver" 2>/dev/null || { echo "the saver ended early: $(cat "$work/stderr")"; exit 1; }
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$saver/status")
  samples+=("$t $rss")
  [ "$t" -lt "$seconds" ] && sleep 10
done
kill -TERM "$saver"
wait "$saver" || true
printf '%s\n' "${samples[@]}" >"$work/samples"
awk -v settle=60 '
  { if ($1 >= settle) { if (min == "" || $2 < min) min = $2; if ($2 > max) max = $2 } last = $2 }
  END {
    printf "resident memory after the first minute: %.1f to %.1f MB (range %d kB), last %.1f MB\n",
      min / 1024, max / 1024, max - min, last / 1024
    exit (max - min > 1024) ? 1 : 0
  }' "$work/samples"
