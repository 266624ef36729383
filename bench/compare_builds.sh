#!/usr/bin/env bash
# Two builds of the saver measured one after the other by bench/measure.sh on this machine, and
# their figures side by side: CPU of the saver and its X server, start to first frame (first
# start and with the settings already written) and peak resident memory, at each screen size.
#
#   bench/compare_builds.sh [--runs N] [--seconds S] BEFORE_BUILD AFTER_BUILD
#
# Each build dir needs the larkspill and larkspill_assetgen targets built. Figures are medians
# of N runs (default 1); the load average at each build's start is printed with its column, as
# a loaded machine moves every figure. Each build's whole measure.sh table is kept beside.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
runs=1
seconds=10
while [ $# -gt 2 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] || { echo "usage: $0 [--runs N] [--seconds S] BEFORE_BUILD AFTER_BUILD" >&2; exit 2; }
for build in "$1" "$2"; do
  [ -x "$build/larkspill" ] || { echo "no saver at $build/larkspill (build the larkspill target)" >&2; exit 1; }
done

out="$(mktemp -d /tmp/larkspill-compare.XXXXXX)"
for which in before after; do
  build="$1"; [ "$which" = after ] && build="$2"
  cut -d' ' -f1-3 /proc/loadavg >"$out/$which.load"
  "$here/measure.sh" --build "$build" --runs "$runs" --seconds "$seconds" --no-peers \
    --out "$out/$which.table" >/dev/null 2>"$out/$which.log" ||
    { echo "measure.sh failed on $build:" >&2; cat "$out/$which.log" >&2; exit 1; }
done

# Medians of one size's runs from a table's "Runs one by one" line:
# "cpu_total first_ms again_ms peak_mib".
figures() {  # table size
  awk -v size="$2" '
    /^Runs one by one/ { on = 1; next }
    on && $1 == size {
      n = nf = na = 0
      for (i = 2; i <= NF; ++i) {
        split($i, f, "/"); sub(/,$/, "", f[5]); ++n
        cpu[n] = f[1] + f[2]; peak[n] = f[3] / 1024
        # measure.sh writes a negative time for a start that showed no frame within its wait.
        if (f[4] >= 0) first[++nf] = f[4] / 1000
        if (f[5] >= 0) again[++na] = f[5] / 1000
      }
      printf "%.2f %s %s %.1f\n", median(cpu, n), ms(first, nf), ms(again, na), median(peak, n)
      exit
    }
    function ms(v, n) { return n == 0 ? "n/a" : sprintf("%.0f", median(v, n)) }
    function median(v, n,   i, j, t) {
      for (i = 2; i <= n; ++i) for (j = i; j > 1 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }' "$1"
}

echo "Median of $runs run(s), $seconds s each; load average at start: before $(cat "$out/before.load"), after $(cat "$out/after.load")"
echo
echo "| Size | CPU % before | CPU % after | First frame ms before | after | Settings written, ms before | after | Peak MiB before | after |"
echo "|---|---|---|---|---|---|---|---|---|"
for size in 800x600 1920x1080 3840x2160; do
  read -r cb fb ab pb < <(figures "$out/before.table" "$size")
  read -r ca fa aa pa < <(figures "$out/after.table" "$size")
  echo "| $size | $cb | $ca | $fb | $fa | $ab | $aa | $pb | $pa |"
done
echo
echo "whole tables: $out/before.table, $out/after.table"
