#!/usr/bin/env bash
# check_package.sh BUILD_DIR: the Debian package's files, data folder and dependencies, unpacked into a
# scratch root; lintian finds neither an error nor a warning.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
fail() { echo "package: FAIL: $*" >&2; exit 1; }

rm -f "$build"/larkspill_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack did not build a package"
deb=$(ls "$build"/larkspill_*.deb 2>/dev/null | head -n 1) || fail "no package in $build"

root=$(mktemp -d /tmp/larkspill-pkg.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
rel=${prefix#/}
for f in bin/larkspill libexec/xscreensaver/larkspill libexec/larkspill/larkspill_assetgen libexec/larkspill/larkspill-on-idle \
  share/xscreensaver/config/larkspill.xml \
  share/larkspill/{UK-bg01.bmp,UK-02bgb.bmp,1Butter1.BMP,Flock8.BMP,UK2-sm03.BMP,preview.bmp,nccf01.wav,eagle.wav} \
  share/larkspill/{index,support}.htm share/applications/screensavers/larkspill.desktop \
  share/man/man6/larkspill.6.gz share/doc/larkspill/{copyright,changelog.gz}; do
  [ -e "$root/$rel/$f" ] || fail "$rel/$f is not in the package"
done
find "$root/$rel/lib" -path '*/larkspill/larkspill-dialog.so' | grep -q . || fail "no settings dialog module"
count=$(find "$root/$rel/share/larkspill" -type f | wc -l)
[ "$count" -eq 52 ] || fail "the data folder holds $count files, not the 50 assets and 2 pages"
[ "$(readlink "$root/$rel/libexec/xscreensaver/larkspill")" = ../../bin/larkspill ] ||
  fail "the hosts' saver folder does not link to the program"
# Nothing of the build's own (tests, tools, object files) rides along; the picture painter is
# the one tool the saver runs.
stray=$(find "$root" -type f \( -name '*.a' -o -name '*test*' -o -name 'CMake*' -o -name '*assetgen*' \) \
  ! -path "*/libexec/larkspill/larkspill_assetgen" | head -n 3)
[ -z "$stray" ] || fail "build files in the package: $stray"
# The unpacked program looks for its pictures in the installed data folder: it names a file there
# (or, where the package is installed, runs until stopped).
source "$(dirname "$0")/../../scripts/deps.sh"
start_xvfb 800x600x24
export XDG_CONFIG_HOME="$root/config" XDG_RUNTIME_DIR="$root/run" SDL_AUDIODRIVER=dummy && mkdir -m 700 "$XDG_RUNTIME_DIR"
DISPLAY="$XVFB_DISPLAY" timeout 3 "$root/$rel/bin/larkspill" /s 2>"$root/stderr" && status=0 || status=$?
{ [ "$status" -eq 2 ] && grep -q "$prefix/share/larkspill/" "$root/stderr"; } || { [ "$status" -eq 124 ] && [ -d "$prefix/share/larkspill" ]; } ||
  fail "the installed program does not look in $prefix/share/larkspill (status $status: $(cat "$root/stderr"))"
kill "$XVFB_PID" 2>/dev/null || true
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl2 libsdl2-mixer libsdl2-ttf libqt6widgets6 fonts-liberation; do [[ $depends == *$lib* ]] || fail "Depends lacks $lib: $depends"; done
# Debian's own package checks: informational notes are allowed, errors and warnings are not.
command -v lintian >/dev/null || fail "lintian is not installed"
lintian --allow-root --tag-display-limit 0 "$deb" >"$root/lintian" 2>&1 || true
if grep -E '^[EW]: ' "$root/lintian"; then fail "lintian reports the above"; fi
echo "package: ok: $(basename "$deb"), $(dpkg-deb -c "$deb" | wc -l) entries, installs under $prefix"
