#!/usr/bin/env bash
# Fuzzes the help file reader with libFuzzer (clang from Debian).
#   scripts/fuzz-help.sh [seconds]       default 60
# The saved inputs in tests/help/corpus start the run; new inputs go to a
# working corpus in the build folder, and crashes to its artifacts folder.
# Copy the interesting ones to tests/help/corpus so that ctest replays them.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=${FUZZ_DIR:-build/fuzz-help}
mkdir -p "$out/corpus" "$out/artifacts"

# The fuzzer is a target of its own build folder, configured with clang and
# VX_FUZZ (every library instrumented).
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DVX_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz --target fuzz_helpfile
cp build/fuzz/bin/fuzz_helpfile "$out/fuzz_helpfile"

"$out/fuzz_helpfile" -max_total_time="$seconds" -max_len=4096 \
    -artifact_prefix="$out/artifacts/" "$out/corpus" tests/help/corpus
