#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test; then
# builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the whole suite once more. Any sanitizer report fails the run. Last, builds
# and checks the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
echo "test.sh: packages ready after ${SECONDS} s"

jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

build=build/test
rm -rf "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug
# Every package configuration the build loaded must come from a package
# deps.sh installs, or a fresh machine would stop where this one did not.
bash scripts/check-deps.sh "$build"
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"

# The sanitizer pass. Leaks that belong to the system libraries the window
# toolkit loads (fonts, X, Qt's own one-time allocations) are suppressed in
# sanitizer/lsan.supp, each with its reason; everything else fails.
asan=build/asan
rm -rf "$asan"
cmake -S . -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVX_SANITIZE=ON
cmake --build "$asan" -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/sanitizer/lsan.supp:print_suppressions=0"
ctest --test-dir "$asan" --output-on-failure -j "$jobs"

# The Debian package: built, checked, unpacked and run (scripts/package-check.sh).
bash scripts/package-check.sh --no-deps
echo "test.sh: every test passed, ${SECONDS} s in all"
