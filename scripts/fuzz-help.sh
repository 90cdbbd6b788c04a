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

clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I main/help main/help/HelpFile.cpp main/help/CodePage.cpp tests/help/fuzz_helpfile.cpp \
    -o "$out/fuzz_helpfile"

"$out/fuzz_helpfile" -max_total_time="$seconds" -max_len=4096 \
    -artifact_prefix="$out/artifacts/" "$out/corpus" tests/help/corpus
