#!/usr/bin/env bash
# Fuzzes the log file reader with libFuzzer (clang from Debian).
#   scripts/fuzz-log.sh [seconds]       default 60
# The saved inputs in tests/trend/logcorpus start the run; new inputs go to a
# working corpus in the build folder, and crashes to its artifacts folder.
# Copy the interesting ones to tests/trend/logcorpus so that ctest replays them.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=${FUZZ_DIR:-build/fuzz-log}
mkdir -p "$out/corpus" "$out/artifacts"

clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I main/logread -I tests/trend \
    main/logread/Values.cpp main/logread/Stats.cpp main/logread/LogReader.cpp \
    tests/trend/fuzz_logreader.cpp -o "$out/fuzz_logreader"

"$out/fuzz_logreader" -max_total_time="$seconds" -max_len=4096 \
    -artifact_prefix="$out/artifacts/" "$out/corpus" tests/trend/logcorpus
