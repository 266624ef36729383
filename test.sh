#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; the whole suite runs again under
# AddressSanitizer and UndefinedBehaviorSanitizer. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
install_deps

werror=OFF
[ -n "${CI:-}" ] && werror=ON
jobs=$(nproc)

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPILL_WERROR=$werror \
  -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-test -j "$jobs"
ctest --test-dir build-test --output-on-failure -j "$jobs" --timeout 300

# The Debian package, unpacked into a scratch root and checked.
./tests/package/check_package.sh build-test

# A short bounded fuzzing run of the settings parser, the command line and the picture and wave
# readers (seeded with small copies of the generated assets, so after the build above).
./tests/fuzz/run.sh 15

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLARKSPILL_SANITIZE=ON \
  -DLARKSPILL_BENCH=OFF -DLARKSPILL_WERROR=$werror >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 300
