#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 15): run.sh [SECONDS]. The
# readers start from small copies of the assets of build-test (or LARKSPILL_SEED_ASSETS).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-15}"
targets=(settings command_line picture_file wave_file)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLARKSPILL_FUZZ=ON -DLARKSPILL_TESTS=OFF -DLARKSPILL_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]/%/_fuzz}"

# Seeds: a picture shrunk, in each depth and compression; the start of a wave in each sample format.
assets="${LARKSPILL_SEED_ASSETS:-build-test/share/larkspill}"
mkdir -p "${targets[@]/#/build-fuzz/corpus-}"
if [ -f "$assets/1Butter1.BMP" ] && [ -f "$assets/birds1.wav" ]; then
  # FORMAT:NAME convert-options... ; NAME seconds sox-options...
  for seed in "BMP3:24 -type truecolor" "BMP:32-v5 -alpha on" "BMP3:8 -colors 200 -compress none" \
    "BMP3:8-rle -colors 200 -compress RLE" "BMP3:4-rle -colors 12 -compress RLE" "BMP3:4 -colors 12 -compress none" \
    "BMP3:1 -monochrome" "BMP:16-bitfields -define bmp:subtype=RGB565" "BMP2:24-core -type truecolor"; do
    set -- $seed
    convert "$assets/1Butter1.BMP" -resize 12x9! "${@:2}" "${1%%:*}:build-fuzz/corpus-picture_file/${1#*:}.bmp"
  done
  for seed in "mixer 0.005 -r 44100 -c 2 -b 16" "8-mono 0.01 -r 22050 -c 1 -b 8" "24 0.005 -r 48000 -c 2 -b 24" \
    "float 0.02 -r 8000 -c 1 -e floating-point -b 32" "alaw 0.02 -r 8000 -c 1 -e a-law" "ulaw 0.02 -r 8000 -c 1 -e u-law" \
    "ima 0.05 -r 11025 -c 1 -e ima-adpcm" "ms 0.05 -r 11025 -c 2 -e ms-adpcm"; do
    set -- $seed
    sox "$assets/birds1.wav" "${@:3}" "build-fuzz/corpus-wave_file/$1.wav" trim 0 "$2"
  done
else
  echo "no generated assets in $assets: the picture and wave readers start from nothing"
fi

for target in "${targets[@]}"; do
  echo "fuzzing $target for $seconds s"
  (cd build-fuzz && "./tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -timeout=10 "corpus-$target" 2>&1 |
    grep -E 'Done|DONE|stat::number_of_executed_units|ERROR|SUMMARY' || true)
  # A crash, leak, timeout or lack of memory leaves an input behind, which fails the run.
  failing=$(shopt -s nullglob; echo build-fuzz/{crash,leak,timeout,oom}-*)
  [ -z "$failing" ] || { echo "fuzzing $target found a failing input: $failing" >&2; exit 1; }
done
