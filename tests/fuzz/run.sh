#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for the given number of seconds (default 15).
# ./tests/fuzz/run.sh 600   runs each for ten minutes.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-15}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLARKSPILL_FUZZ=ON -DLARKSPILL_TESTS=OFF -DLARKSPILL_BENCH=OFF >/dev/null
cmake --build build-fuzz --target settings_fuzz command_line_fuzz
for target in settings command_line; do
  corpus="build-fuzz/corpus-$target"
  mkdir -p "$corpus"
  echo "fuzzing $target for $seconds s"
  (cd build-fuzz && "./tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    "corpus-$target" 2>&1 | grep -E 'Done|stat::number_of_executed_units|ERROR|SUMMARY' || true)
  # A crash leaves an input behind and a non-zero status; either fails the run.
  if ls build-fuzz/crash-* build-fuzz/leak-* build-fuzz/timeout-* >/dev/null 2>&1; then
    echo "fuzzing $target found a failing input in build-fuzz/" >&2
    exit 1
  fi
done
