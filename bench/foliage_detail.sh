#!/usr/bin/env bash
# The foliage detail ratio: how much fine detail the forest at the scene's right shows on a larger
# screen, against the 800 x 600 scene's own.
#
#   bench/foliage_detail.sh IMAGE W H [REFERENCE]
#
# IMAGE shows the scene for a W x H screen, the 4:3 scene centred and scaled to H: a screenshot
# (W wide) or a background painted for that screen (wider; the scene sits in its middle either
# way). The foliage at scene x 560..760, y 100..400 is cut from it at that scale, turned grey, and
# convolved with the 3 x 3 eight-neighbour Laplacian (divided by 16 and offset by half the range,
# so the Q16 result never clips); the measure is the variance of that, squared standard deviation.
# Printed: the measure divided by the same on REFERENCE at 800 x 600 (default: the first scene's
# background of build-test), with both measures after it.
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 IMAGE W H [REFERENCE]" >&2; exit 2; }
image=$1 width=$2 height=$3
reference=${4:-$(dirname "$0")/../build-test/share/larkspill/UK-bg01.bmp}

# measure IMAGE H: the variance of the Laplacian of the foliage crop of IMAGE shown at height H.
measure() {
  local w h
  read -r w h < <(identify -format '%w %h\n' "$1[0]")
  [ "$h" = "$2" ] || { echo "$1 is $h high, not $2" >&2; exit 1; }
  local crop
  crop=$(awk -v w="$w" -v h="$2" 'BEGIN {
    s = h / 600; left = (w - 800 * s) / 2
    printf "%dx%d+%d+%d", 200 * s + 0.5, 300 * s + 0.5, left + 560 * s + 0.5, 100 * s + 0.5 }')
  convert "$1[0]" -crop "$crop" +repage -colorspace gray \
    -define convolve:scale=0.0625 -define convolve:bias=50% -morphology Convolve Laplacian:0 \
    -format '%[fx:standard_deviation]' info: | awk '{ printf "%.9g\n", $1 * $1 }'
}

[ "$width" -gt 0 ] || { echo "the screen's width must be positive" >&2; exit 2; }
at_screen=$(measure "$image" "$height")
at_scene=$(measure "$reference" 600)
awk -v a="$at_screen" -v b="$at_scene" 'BEGIN { printf "%.3f (%.4g / %.4g)\n", a / b, a, b }'
