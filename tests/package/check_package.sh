#!/usr/bin/env bash
# Builds the Debian package from a build folder and unpacks it into a scratch root: the file
# list, the data folder fixed into the program, and the package's dependencies are checked, and
# lintian finds neither an error nor a warning in it.
# usage: check_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
fail() { echo "package: FAIL: $*" >&2; exit 1; }

rm -f "$build"/larkspill_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack did not build a package"
deb=$(ls "$build"/larkspill_*.deb | head -n 1)
[ -f "$deb" ] || fail "no package in $build"

root=$(mktemp -d /tmp/larkspill-pkg.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
rel=${prefix#/}
expect=(
  "$rel/bin/larkspill"
  "$rel/share/larkspill/UK-bg01.bmp"
  "$rel/share/larkspill/UK-02bgb.bmp"
  "$rel/share/larkspill/1Butter1.BMP"
  "$rel/share/larkspill/Flock8.BMP"
  "$rel/share/larkspill/UK2-sm03.BMP"
  "$rel/share/larkspill/preview.bmp"
  "$rel/share/larkspill/nccf01.wav"
  "$rel/share/larkspill/eagle.wav"
  "$rel/share/larkspill/index.htm"
  "$rel/share/larkspill/support.htm"
  "$rel/share/xscreensaver/config/larkspill.xml"
  "$rel/share/applications/screensavers/larkspill.desktop"
  "$rel/libexec/xscreensaver/larkspill"
  "$rel/share/man/man6/larkspill.6.gz"
  "$rel/share/doc/larkspill/copyright"
  "$rel/share/doc/larkspill/changelog.gz"
)
for f in "${expect[@]}"; do
  [ -e "$root/$f" ] || fail "$f is not in the package"
done
find "$root/$rel/lib" -path '*/larkspill/larkspill-dialog.so' | grep -q . || fail "no settings dialog module"
count=$(find "$root/$rel/share/larkspill" -type f | wc -l)
[ "$count" -eq 49 ] || fail "the data folder holds $count files, not the 47 assets and 2 pages"
[ "$(readlink "$root/$rel/libexec/xscreensaver/larkspill")" = ../../bin/larkspill ] ||
  fail "the hosts' saver folder does not link to the program"
# Nothing of the build's own (tests, tools, object files) rides along.
stray=$(find "$root" -type f \( -name '*.a' -o -name '*test*' -o -name 'CMake*' -o -name '*assetgen*' \) | head -n 3)
[ -z "$stray" ] || fail "build files in the package: $stray"
# The program looks for its pictures in the installed data folder: started from the scratch
# root it names a file there (or, where the package is installed, runs).
source "$(dirname "$0")/../../scripts/deps.sh"
start_xvfb 800x600x24
export XDG_CONFIG_HOME="$root/config" XDG_RUNTIME_DIR="$root/run" SDL_AUDIODRIVER=dummy
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
DISPLAY="$XVFB_DISPLAY" "$root/$rel/bin/larkspill" /s 2>"$root/stderr" &
saver=$!
for i in $(seq 1 30); do kill -0 "$saver" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$saver" 2>/dev/null; then
  kill -TERM "$saver"; wait "$saver" || true
  [ -d "$prefix/share/larkspill" ] || fail "the unpacked program runs without its data folder?"
else
  wait "$saver" && status=0 || status=$?
  [ "$status" -eq 2 ] && grep -q "$prefix/share/larkspill/" "$root/stderr" ||
    fail "the installed program does not look in $prefix/share/larkspill (status $status: $(cat "$root/stderr"))"
fi
kill "$XVFB_PID" 2>/dev/null || true
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl2 libsdl2-mixer libsdl2-ttf libqt6widgets6 fonts-liberation; do
  echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
# Debian's own package checks: informational notes are allowed, errors and warnings are not.
command -v lintian >/dev/null || fail "lintian is not installed"
lintian --allow-root --tag-display-limit 0 "$deb" >"$root/lintian" 2>&1 || true
if grep -E '^[EW]: ' "$root/lintian"; then fail "lintian reports the above"; fi
echo "package: ok: $(basename "$deb"), $(dpkg-deb -c "$deb" | wc -l) entries, installs under $prefix"
