#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test; then
# builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the whole suite once more. Any sanitizer report fails the run. Last, builds
# and checks the Debian package. Prints the time at the end of each stage.
set -euo pipefail
cd "$(dirname "$0")/.."

stage() { echo "test.sh: $1 after ${SECONDS} s"; }

bash scripts/deps.sh
stage "packages ready"

jobs="$(nproc)"
# Most tests spend their time waiting for a meter, a child process or a
# timer, not computing: twice as many run at once as there are cores.
test_jobs=$((2 * jobs))
export QT_QPA_PLATFORM=offscreen

# Both test builds: the tests and the programs, no benchmarks or demos; one
# compiler run for several files of a library (unity build) over the
# precompiled Qt headers; line tables only (-g1), which is all the
# sanitizers' stack traces and a backtrace need; lld links.
test_build=(-G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1
    -DCMAKE_UNITY_BUILD=ON -DVX_BENCHMARKS=OFF -DVX_LINKER=lld)

build=build/test
rm -rf "$build"
cmake -S . -B "$build" "${test_build[@]}"
# Every package configuration the build loaded must come from a package
# deps.sh installs, or a fresh machine would stop where this one did not.
bash scripts/check-deps.sh "$build"
stage "debug build configured"
cmake --build "$build" -j "$jobs"
stage "debug build done"
ctest --test-dir "$build" --output-on-failure -j "$test_jobs"
stage "debug tests passed"

# The sanitizer pass. Leaks that belong to the system libraries the window
# toolkit loads (fonts, X, Qt's own one-time allocations) are suppressed in
# sanitizer/lsan.supp, each with its reason; everything else fails.
asan=build/asan
rm -rf "$asan"
cmake -S . -B "$asan" "${test_build[@]}" -DVX_SANITIZE=ON
cmake --build "$asan" -j "$jobs"
stage "sanitizer build done"
# The first pass's test times: CTest starts the longest tests first.
mkdir -p "$asan/Testing/Temporary"
cp "$build/Testing/Temporary/CTestCostData.txt" "$asan/Testing/Temporary/"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/sanitizer/lsan.supp:print_suppressions=0"
ctest --test-dir "$asan" --output-on-failure -j "$test_jobs"
stage "sanitizer tests passed"

# The Debian package: built, checked, unpacked and run (scripts/package-check.sh).
bash scripts/package-check.sh --no-deps
stage "package checked"
echo "test.sh: every test passed, ${SECONDS} s in all"
