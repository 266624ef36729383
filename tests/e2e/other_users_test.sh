#!/usr/bin/env bash
# Another user's files where this user's should be are not trusted: a sound lock that another user
# made and holds does not silence this user's saver, which says why it plays all the same.
source "$(dirname "$0")/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: acting as another user needs root"; exit 77; }
start_display 800x600x24

# The lock in this user's runtime folder, made by nobody and held by a process of nobody's (the
# folder is closed to nobody, so the file is opened here and handed over).
lock="$XDG_RUNTIME_DIR/larkspill-sound.lock"
: >"$lock" && chown 65534:65534 "$lock"
bg setpriv --reuid=65534 --regid=65534 --clear-groups bash -c 'flock 9 && echo held && exec sleep 60' 9<"$lock" >"$WORK/held"
until_ok 5 grep -q held "$WORK/held" || fail "nobody could not take the sound lock"
start_shown /s
until_ok 10 test -s "$SDL_DISKAUDIOFILE" || fail "another user's sound lock silenced the saver; $(err)"
grep -q "the sound lock $lock belongs to another user" "$WORK/stderr" || fail "not said why it plays: $(err)"
term_ends "another user's sound lock"
echo "other users: ok"
