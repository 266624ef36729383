#!/usr/bin/env bash
# What `cmake --install` gives the hosts (saver folder, form, desktop entry, manual), each readable.
source "$(dirname "$0")/lib.sh"
: "${BUILD_DIR:?BUILD_DIR must name the build tree}"

cmake --install "$BUILD_DIR" --prefix "$WORK/prefix" >"$WORK/install.log" 2>&1 || fail "cmake --install: $(cat "$WORK/install.log")"
share="$WORK/prefix/share"
xml="$share/xscreensaver/config/larkspill.xml"
desktop="$share/applications/screensavers/larkspill.desktop"
for f in "$xml" "$desktop" "$share/man/man6/larkspill.6.gz" "$share/doc/larkspill/copyright"; do [ -f "$f" ] || fail "not installed: $f"; done
# The hosts' saver folder holds the program (a relative link, so it holds in any install root).
saver="$WORK/prefix/libexec/xscreensaver/larkspill"
[ -x "$WORK/prefix/bin/larkspill" ] && [ -L "$saver" ] && [ "$(readlink -f "$saver")" = "$(readlink -f "$WORK/prefix/bin/larkspill")" ] ||
  fail "libexec/xscreensaver/larkspill is not the program: $(ls -l "$saver" 2>&1)"

# The xscreensaver form: well-formed, on the host's window, a frame-rate box, only options --help lists.
! command -v xmllint >/dev/null || xmllint --noout "$xml" || fail "larkspill.xml is not well-formed"
for want in '<screensaver name="larkspill"' '<command arg="-root"/>' 'arg-set="-fps"'; do
  grep -qF "$want" "$xml" || fail "larkspill.xml has no $want"
done
usage=$("$WORK/prefix/bin/larkspill" --help) || fail "--help failed"
options=$(sed -n 's/.*arg-set="\(-[a-z-]*\).*/\1/p' "$xml" | sort -u)
[ "$(wc -l <<<"$options")" -ge 6 ] || fail "the form offers too few options: $options"
for option in $options; do
  grep -qE -- "(^|[ ,])$option([ ,]|$)" <<<"$usage" || fail "the form sets $option, which --help does not list"
done

# The desktop entry MATE and Xfce list among their screen savers: key=value lines only.
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(sed -n 1p "$desktop")" = "[Desktop Entry]" ] || fail "desktop entry has no [Desktop Entry] group first"
for pair in Type=Application "Exec=larkspill -root" TryExec=larkspill Name=Larkspill; do
  [ "$(entry "${pair%%=*}")" = "${pair#*=}" ] || fail "desktop entry ${pair%%=*} is '$(entry "${pair%%=*}")'"
done
[[ "$(entry Categories)" == *Screensaver\;* ]] && [ -n "$(entry Comment)" ] || fail "desktop entry: no Screensaver category or Comment"
! grep -qv '^[A-Za-z][A-Za-z0-9-]*=' <<<"$(sed 1d "$desktop")" || fail "desktop entry has a line that is no key=value pair"

# The manual page renders without a warning and tells of its sections, the hosts' window, the options.
if command -v groff >/dev/null; then
  text=$(zcat "$share/man/man6/larkspill.6.gz" | groff -man -Tutf8 -ww 2>"$WORK/groff.err" | sed 's/.\x08//g')
  [ ! -s "$WORK/groff.err" ] || fail "larkspill.6: $(cat "$WORK/groff.err")"
  for word in ^NAME ^SYNOPSIS ^MODES ^FILES ^ENVIRONMENT "^EXIT STATUS" --window-id XSCREENSAVER_WINDOW $options; do
    grep -q -- "$word" <<<"$text" || fail "larkspill.6 does not tell of $word"
  done
fi
# The settings dialog's two pages, and every picture and page they link to, in the data folder.
for page in index.htm support.htm; do
  for ref in "$page" $(grep -o '\(src\|href\)="[^"#:]*"' "$share/larkspill/$page" 2>/dev/null | sed 's/^[a-z]*="//; s/"$//'); do
    [ -f "$share/larkspill/$ref" ] || fail "$page: $ref is not installed"
  done
done
echo "host install: ok"
