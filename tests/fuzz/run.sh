#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for the given number of seconds (default 15).
# ./tests/fuzz/run.sh 600   runs each for ten minutes. The picture and wave readers start from
# small copies of the generated assets in several of the formats the readers take (from
# build-test/share/larkspill, or the folder in LARKSPILL_SEED_ASSETS).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-15}"
targets=(settings command_line picture_file wave_file)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLARKSPILL_FUZZ=ON -DLARKSPILL_TESTS=OFF -DLARKSPILL_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]/%/_fuzz}"

# Seeds: a generated picture shrunk and stored in each depth and compression, and the start of a
# generated wave in each sample format.
assets="${LARKSPILL_SEED_ASSETS:-build-test/share/larkspill}"
seed_pictures=build-fuzz/corpus-picture_file
seed_waves=build-fuzz/corpus-wave_file
mkdir -p "$seed_pictures" "$seed_waves"
if [ -f "$assets/1Butter1.BMP" ] && [ -f "$assets/birds1.wav" ]; then
  picture="$assets/1Butter1.BMP"
  small=(convert "$picture" -resize 12x9!)
  "${small[@]}" -type truecolor BMP3:"$seed_pictures/24.bmp"
  "${small[@]}" -alpha on BMP:"$seed_pictures/32-v5.bmp"
  "${small[@]}" -colors 200 -compress none BMP3:"$seed_pictures/8.bmp"
  "${small[@]}" -colors 200 -compress RLE BMP3:"$seed_pictures/8-rle.bmp"
  "${small[@]}" -colors 12 -compress RLE BMP3:"$seed_pictures/4-rle.bmp"
  "${small[@]}" -colors 12 -compress none BMP3:"$seed_pictures/4.bmp"
  "${small[@]}" -monochrome BMP3:"$seed_pictures/1.bmp"
  "${small[@]}" -define bmp:subtype=RGB565 BMP:"$seed_pictures/16-bitfields.bmp"
  "${small[@]}" -type truecolor BMP2:"$seed_pictures/24-core.bmp"
  cut=(sox "$assets/birds1.wav")
  "${cut[@]}" -r 44100 -c 2 -b 16 "$seed_waves/mixer.wav" trim 0 0.005
  "${cut[@]}" -r 22050 -c 1 -b 8 "$seed_waves/8-mono.wav" trim 0 0.01
  "${cut[@]}" -r 48000 -c 2 -b 24 "$seed_waves/24.wav" trim 0 0.005
  "${cut[@]}" -r 8000 -c 1 -e floating-point -b 32 "$seed_waves/float.wav" trim 0 0.02
  "${cut[@]}" -r 8000 -c 1 -e a-law "$seed_waves/alaw.wav" trim 0 0.02
  "${cut[@]}" -r 8000 -c 1 -e u-law "$seed_waves/ulaw.wav" trim 0 0.02
  "${cut[@]}" -r 11025 -c 1 -e ima-adpcm "$seed_waves/ima.wav" trim 0 0.05
  "${cut[@]}" -r 11025 -c 2 -e ms-adpcm "$seed_waves/ms.wav" trim 0 0.05
else
  echo "no generated assets in $assets: the picture and wave readers start from nothing"
fi

for target in "${targets[@]}"; do
  corpus="build-fuzz/corpus-$target"
  mkdir -p "$corpus"
  echo "fuzzing $target for $seconds s"
  (cd build-fuzz && "./tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -timeout=10 "corpus-$target" 2>&1 |
    grep -E 'Done|DONE|stat::number_of_executed_units|ERROR|SUMMARY' || true)
  # A crash leaves an input behind and a non-zero status; either fails the run.
  if ls build-fuzz/crash-* build-fuzz/leak-* build-fuzz/timeout-* build-fuzz/oom-* >/dev/null 2>&1; then
    echo "fuzzing $target found a failing input in build-fuzz/" >&2
    exit 1
  fi
done
