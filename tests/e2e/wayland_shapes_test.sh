#!/usr/bin/env bash
# Outputs of different shapes on a real Wayland compositor (sway, headless): a landscape one beside
# one turned to portrait (transform 90) are each filled by the scene fitted to their own shape, and
# an output turned while the saver runs is fitted again.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/sway.sh"
start_sway 'output HEADLESS-1 resolution 1280x720 position 0 0' \
  'output HEADLESS-2 resolution 720x480 position 1280 0 transform 90'
as_nobody swaymsg create_output >/dev/null
until_ok 5 eval '[ "$(as_nobody swaymsg -t get_outputs | grep -c "\"name\": \"HEADLESS")" -eq 2 ]' || fail "no second output"

shot() { as_nobody grim -s 1 "$WORK/wl-home/wl.png" && cp "$WORK/wl-home/wl.png" "$shots/wayland-shapes-$1.png"; }
# The share, in percent, of the last shot's part W H X Y that black rows or columns cover (sway's
# grey, where no surface is, counts as black).
black_share() {
  local cols rows
  convert "$WORK/wl-home/wl.png" -crop "$1x$2+$3+$4" +repage -alpha off -fill black -opaque '#3f3f3f' "$WORK/output.png"
  cols=$(convert "$WORK/output.png" -scale "$1x1!" -depth 8 txt:- | grep -c '(0,0,0)' || true)
  rows=$(convert "$WORK/output.png" -scale "1x$2!" -depth 8 txt:- | grep -c '(0,0,0)' || true)
  echo $((100 - 100 * ($1 - cols) * ($2 - rows) / ($1 * $2)))
}
# scene_at W H X Y: the last shot's part shows the scene: many colours, not black.
scene_at() {
  local figures
  figures=$(convert "$WORK/wl-home/wl.png" -crop "$1x$2+$3+$4" +repage -format '%k %[fx:int(mean*1000)]' info:)
  [ "${figures% *}" -gt 1000 ] && [ "${figures#* }" -gt 100 ]
}
both_filled() {
  shot "$1" && scene_at 1280 720 0 0 && scene_at "${@:2}" &&
    [ "$(black_share 1280 720 0 0)" -le 1 ] && [ "$(black_share "${@:2}")" -le 1 ]
}

bg "${nobody[@]}" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/wl-home/audio.raw" "$LARKSPILL" /s >"$WORK/stdout" 2>"$WORK/stderr"
APP_PID=$!
wait_until 10 "both outputs filled" both_filled portrait 480 720 1280 0
landscape=$(black_share 1280 720 0 0) portrait=$(black_share 480 720 1280 0)

# The portrait output turned back to landscape while the saver runs.
start=$SECONDS
as_nobody swaymsg output HEADLESS-2 transform normal >/dev/null
wait_until 10 "the turned output filled" both_filled turned 720 480 1280 0
term_ends "after the turn"
echo "wayland shapes: ok (black: landscape $landscape %, portrait $portrait %; turned output filled after $((SECONDS - start)) s or less)"
