#!/usr/bin/env bash
# What `cmake --install` gives the screen-saver hosts: the program in their saver folder, the
# xscreensaver settings form, the MATE/Xfce desktop entry and the manual page, each where its
# reader looks, each readable.
set -euo pipefail
: "${BUILD_DIR:?BUILD_DIR must name the build tree}"
WORK=$(mktemp -d /tmp/larkspill-install.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$BUILD_DIR" --prefix "$WORK/prefix" >"$WORK/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$WORK/install.log")"
share="$WORK/prefix/share"
xml="$share/xscreensaver/config/larkspill.xml"
desktop="$share/applications/screensavers/larkspill.desktop"
manual="$WORK/larkspill.6"
[ -x "$WORK/prefix/bin/larkspill" ] || fail "no bin/larkspill"
for f in "$xml" "$desktop" "$share/man/man6/larkspill.6.gz" "$share/doc/larkspill/copyright"; do
  [ -f "$f" ] || fail "not installed: ${f#"$WORK/prefix/"}"
done
zcat "$share/man/man6/larkspill.6.gz" >"$manual"
# The hosts' saver folder holds the program (a relative link, so it holds in any install root).
saver="$WORK/prefix/libexec/xscreensaver/larkspill"
[ -L "$saver" ] && [ "$(readlink -f "$saver")" = "$(readlink -f "$WORK/prefix/bin/larkspill")" ] ||
  fail "libexec/xscreensaver/larkspill is not the program: $(ls -l "$saver" 2>&1)"

# The xscreensaver form: well-formed, named after the program, started on the host's window.
! command -v xmllint >/dev/null || xmllint --noout "$xml" || fail "larkspill.xml is not well-formed"
grep -q '<screensaver name="larkspill"' "$xml" || fail "form not named larkspill"
grep -q '<command arg="-root"/>' "$xml" || fail "form's command is not -root"
# Every option the form sets is one the program lists (and so reads) in its --help.
usage=$("$WORK/prefix/bin/larkspill" --help) || fail "--help failed"
options=$(sed -n 's/.*arg-set="\(-[a-z-]*\).*/\1/p' "$xml" | sort -u)
[ "$(wc -l <<<"$options")" -ge 6 ] || fail "the form offers too few options: $options"
for option in $options; do
  grep -qE -- "(^|[ ,])$option([ ,]|$)" <<<"$usage" || fail "the form sets $option, which --help does not list"
done
grep -q 'arg-set="-fps"' "$xml" || fail "the form has no frame-rate box"

# The desktop entry that MATE and Xfce list among their screen savers.
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(sed -n 1p "$desktop")" = "[Desktop Entry]" ] || fail "desktop entry has no [Desktop Entry] group first"
for pair in Type=Application "Exec=larkspill -root" TryExec=larkspill Name=Larkspill; do
  [ "$(entry "${pair%%=*}")" = "${pair#*=}" ] || fail "desktop entry ${pair%%=*} is '$(entry "${pair%%=*}")'"
done
[[ "$(entry Categories)" == *Screensaver\;* ]] || fail "desktop entry is not in the Screensaver category"
[ -n "$(entry Comment)" ] || fail "desktop entry has no Comment"
if grep -v '^\[Desktop Entry\]$' "$desktop" | grep -qv '^[A-Za-z][A-Za-z0-9-]*='; then
  fail "desktop entry has a line that is no key=value pair"
fi

# The manual page renders without a warning and tells of the hosts and the exit statuses.
if command -v groff >/dev/null; then
  groff -man -Tutf8 -ww -z "$manual" 2>"$WORK/groff.err"
  [ ! -s "$WORK/groff.err" ] || fail "larkspill.6: $(cat "$WORK/groff.err")"
  text=$(groff -man -Tutf8 "$manual" 2>/dev/null | sed 's/.\x08//g')
  for heading in NAME SYNOPSIS MODES FILES ENVIRONMENT "EXIT STATUS"; do
    grep -q "^$heading" <<<"$text" || fail "larkspill.6 has no $heading section"
  done
  grep -q -- "--window-id" <<<"$text" || fail "larkspill.6 does not tell of --window-id"
  grep -q "XSCREENSAVER_WINDOW" <<<"$text" || fail "larkspill.6 does not tell of XSCREENSAVER_WINDOW"
  for option in $options; do
    grep -q -- "$option" <<<"$text" || fail "larkspill.6 does not tell of $option"
  done
fi
# The settings dialog's two pages, and every picture and page they link to, in the data folder.
for page in index.htm support.htm; do
  [ -f "$share/larkspill/$page" ] || fail "not installed: share/larkspill/$page"
  for ref in $(grep -o '\(src\|href\)="[^"#:]*"' "$share/larkspill/$page" | sed 's/^[a-z]*="//; s/"$//'); do
    [ -f "$share/larkspill/$ref" ] || fail "$page links to $ref, which is not installed"
  done
done
echo "host install: ok"
