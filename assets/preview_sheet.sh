#!/bin/sh
# Makes pictures and figures for looking over the generated assets:
#   contact_sheet.png       every bitmap, labelled with its name and size
#   scene1.png, scene2.png  each scene with its water and creatures keyed over it, as on screen
#   water1.gif, water2.gif  the water loop, frames 1, 2, 3 at 150 ms
#   sounds.txt              per wave file: length, RMS and peak level, clipping, and the loop seam
# Usage: assets/preview_sheet.sh [ASSET_FOLDER] [OUTPUT_FOLDER]
# Needs ImageMagick (convert, montage), sox and awk.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
assets=${1:-$here/build-assets/assets}
out=${2:-$here/build-assets/preview}
[ -d "$assets" ] || { echo "preview_sheet.sh: no asset folder $assets" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Contact sheet: one labelled row per group; the scenes at half size, the small pictures at
# twice their size so their edges show.
sheet_row() { # output scale files...
  row=$1 scale=$2
  shift 2
  args=""
  i=0
  for f in "$@"; do
    i=$((i + 1))
    name=$(basename "$f")
    convert "$f" -filter point -resize "$scale" "$work/tile$i.png"
    args="$args -label '$name $(identify -format '%wx%h' "$f")' $work/tile$i.png"
  done
  eval montage $args -tile x1 -geometry "'+6+6'" -background "'#404040'" -fill white \
    -pointsize 12 "$row"
}
a=$assets
sheet_row "$work/r1.png" 50% "$a/UK-bg01.bmp" "$a/UK-02bgb.bmp"
sheet_row "$work/r2.png" 100% "$a/UK01.BMP" "$a/UK02.BMP" "$a/UK03.BMP" "$a/UK2-01.BMP" \
  "$a/UK2-02.BMP" "$a/UK2-03.BMP" "$a/UK2-sm01.BMP" "$a/UK2-sm02.BMP" "$a/UK2-sm03.BMP"
sheet_row "$work/r3.png" 200% "$a"/1Butter?.BMP "$a"/2Butter?.BMP
sheet_row "$work/r4.png" 200% "$a"/Bird?.BMP
sheet_row "$work/r5.png" 200% "$a"/Flock?.BMP
sheet_row "$work/r6.png" 200% "$a/preview.bmp" "$a/dialog-wf1.bmp" "$a/dialog-wf2.bmp" \
  "$a/dialog-screen.bmp" "$a/dialog-wf1@2x.bmp" "$a/dialog-wf2@2x.bmp" "$a/dialog-screen@2x.bmp"
convert -background '#404040' "$work"/r1.png "$work"/r2.png "$work"/r3.png "$work"/r4.png \
  "$work"/r5.png "$work"/r6.png -gravity west -append "$out/contact_sheet.png"

# Keys out magenta and lays a sprite onto a picture at x, y.
lay() { # picture sprite x y
  convert "$2" -transparent '#FF00FF' "$work/sprite.png"
  convert "$1" "$work/sprite.png" -geometry "+$3+$4" -composite "$1"
}
# The scenes as a 4:3 screen shows them: the middle of the wide backgrounds.
convert "$assets/UK-bg01.bmp" -crop 800x600+320+0 +repage "$work/bg1.png"
convert "$assets/UK-02bgb.bmp" -crop 800x600+320+0 +repage "$work/bg2.png"
# Scene 1 and 2, with the water on its second frame and a handful of creatures.
cp "$work/bg1.png" "$work/s1.png"
convert "$work/s1.png" "$assets/UK02.BMP" -geometry +279+72 -composite "$work/s1.png"
lay "$work/s1.png" "$assets/Flock3.BMP" 470 120
lay "$work/s1.png" "$assets/Bird2.BMP" 120 260
lay "$work/s1.png" "$assets/1Butter1.BMP" 200 400
lay "$work/s1.png" "$assets/1Butter5.BMP" 600 470
lay "$work/s1.png" "$assets/2Butter4.BMP" 700 540
lay "$work/s1.png" "$assets/2Butter3.BMP" 100 530
cp "$work/s1.png" "$out/scene1.png"
cp "$work/bg2.png" "$work/s2.png"
lay "$work/s2.png" "$assets/UK2-02.BMP" 319 110
lay "$work/s2.png" "$assets/UK2-sm02.BMP" 191 354
lay "$work/s2.png" "$assets/Flock6.BMP" 180 40
lay "$work/s2.png" "$assets/Bird5.BMP" 560 180
lay "$work/s2.png" "$assets/1Butter2.BMP" 470 430
lay "$work/s2.png" "$assets/1Butter4.BMP" 90 330
lay "$work/s2.png" "$assets/2Butter1.BMP" 640 520
cp "$work/s2.png" "$out/scene2.png"

# The water loops, cropped around the falls.
for n in 1 2 3; do
  convert "$work/bg1.png" "$assets/UK0$n.BMP" -geometry +279+72 -composite \
    -crop 300x480+249+52 +repage "$work/w1_$n.png"
  convert "$assets/UK2-0$n.BMP" -transparent '#FF00FF' "$work/a.png"
  convert "$assets/UK2-sm0$n.BMP" -transparent '#FF00FF' "$work/b.png"
  convert "$work/bg2.png" "$work/a.png" -geometry +319+110 -composite \
    "$work/b.png" -geometry +191+354 -composite -crop 380x420+160+100 +repage "$work/w2_$n.png"
done
convert -delay 15 -loop 0 "$work/w1_1.png" "$work/w1_2.png" "$work/w1_3.png" "$out/water1.gif"
convert -delay 15 -loop 0 "$work/w2_1.png" "$work/w2_2.png" "$work/w2_3.png" "$out/water2.gif"

# Sound figures. The seam is the last 50 ms joined to the first 50 ms; the loop's variation is
# the range of its 100 ms RMS levels.
{
  printf '%-12s %8s %9s %9s %8s %10s %21s %11s %11s\n' file seconds 'RMS dB' 'peak dB' clipped \
    'seam RMS' 'loop 100ms RMS range' 'seam jump' 'max jump'
  for name in nccf01.wav birds1.wav jungle.wav eagle.wav; do
    f="$assets/$name"
    sox "$f" -n stats 2>"$work/stats"
    len=$(awk '/^Length s/ {print $3}' "$work/stats")
    rms=$(awk '/^RMS lev dB/ {print $4}' "$work/stats")
    pk=$(awk '/^Pk lev dB/ {print $4}' "$work/stats")
    sox "$f" "$work/tail.wav" trim -0.05
    sox "$f" "$work/head.wav" trim 0 0.05
    sox "$work/tail.wav" "$work/head.wav" "$work/seam.wav"
    seam=$(sox "$work/seam.wav" -n stats 2>&1 | awk '/^RMS lev dB/ {print $4}')
    sox "$f" -t dat - remix 1 | awk -v len="$len" '
      /^;/ {next}
      { v = $2; if (n == 0) first = v; if (n > 0) { d = v - prev; if (d < 0) d = -d; if (d > maxd) maxd = d }
        prev = v; n++; sum += v * v; if (v >= 0.9999 || v <= -0.9999) clip++
        if (n % 4410 == 0) { r = sqrt(sum / 4410); sum = 0; if (r > 0) { db = 20 * log(r) / log(10) } else { db = -200 }
          if (!init || db < lo) lo = db; if (!init || db > hi) hi = db; init = 1 } }
      END { j = prev - first; if (j < 0) j = -j
            printf "%d %.1f %.1f %.5f %.5f\n", clip, lo, hi, j, maxd }' >"$work/win"
    read -r clip lo hi jump maxjump <"$work/win"
    printf '%-12s %8s %9s %9s %8s %10s %10s..%-10s %11s %11s\n' "$name" "$len" "$rms" "$pk" "$clip" \
      "$seam" "$lo" "$hi" "$jump" "$maxjump"
  done
  echo "(levels of the left channel for windows and jumps; 'clipped' counts full-scale samples;"
  echo " the eagle is a single call, so its seam figures do not apply)"
} >"$out/sounds.txt"
cat "$out/sounds.txt"
echo "wrote $out"
