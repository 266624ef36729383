#!/usr/bin/env bash
# On a screen wider than the scene, a creature's path is spread over the shown width: the flock comes
# in from beyond the screen's left edge and goes out beyond its right edge, never appearing or
# vanishing short of them. 1400x600 shows the scene at its own scale (nothing painted at another),
# the first background's columns 20 to 1419; the flock alone flies, without pause.
source "$(dirname "$0")/lib.sh"
start_display 1400x600x24
printf '%s\n' "[System]" SetReg=2 "[one]" Birds=1 BirdSpeed=1 BirdTimer=Always Butter1=0 Butter2=0 SingleBird=0 \
  Clock=0 waterfall1=1 waterfall2=0 "[two]" ShowMessage=0 | write_settings
start_shown /s
wait_until 10 "the scene" expect_scene 0 0 1400 600

# flock_in X: the box ("W H X Y") of what differs from the background in the 150 columns of the
# screen from X, nothing when it is all background.
flock_in() {
  import -window root -crop "150x600+$1+0" +repage png:- |
    convert - \( "$LARKSPILL_ASSETS/UK-bg01.bmp" -crop "150x600+$(($1 + 20))+0" +repage \) \
      -compose difference -composite -threshold 8% -format '%@ %[fx:int(mean*w*h)]' info: 2>/dev/null |
    sed -n 's/^\([0-9]*\)x\([0-9]*\)+\([0-9]*\)+\([0-9]*\) \([0-9]*\)$/\1 \2 \3 \4 \5/p' | awk '$5 > 50 { print $1, $2, $3, $4 }'
}
# Coming in, it is cut by the left edge; going out, by the right edge (one crossing takes about 15 s).
cut_by_left_edge() { read -r w h x y < <(flock_in 0) && [ "$x" -eq 0 ] && [ "$w" -lt 150 ]; }
cut_by_right_edge() { read -r w h x y < <(flock_in 1250) && [ "$x" -gt 0 ] && [ $((x + w)) -eq 150 ]; }
wait_until 60 "the flock coming in across the screen's left edge" cut_by_left_edge
import -window root "$shots/flock-in.png"
wait_until 60 "the flock going out across the screen's right edge" cut_by_right_edge
import -window root "$shots/flock-out.png"
term_ends "the flock's crossing"
echo "creature edges: ok"
