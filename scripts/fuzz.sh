#!/usr/bin/env bash
# Fuzzes one of the program's readers with libFuzzer (clang from Debian).
#   scripts/fuzz.sh help|log|calc [seconds]  default 60 seconds
# help: the help file reader, saved inputs in tests/help/corpus;
# log:  the log file reader, saved inputs in tests/trend/logcorpus;
# calc: computed channels and limits (--calc, --limit), saved inputs in
#       tests/calc/corpus.
# The saved inputs start the run; new inputs go to a working corpus in the
# build folder, and crashes to its artifacts folder. Copy the interesting ones
# to the saved inputs so that ctest replays them.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
help) target=fuzz_helpfile saved=tests/help/corpus ;;
log) target=fuzz_logreader saved=tests/trend/logcorpus ;;
calc) target=fuzz_calc saved=tests/calc/corpus ;;
*)
    echo "usage: scripts/fuzz.sh help|log|calc [seconds]" >&2
    exit 2
    ;;
esac
seconds=${2:-60}
out=${FUZZ_DIR:-build/fuzz-$1}
mkdir -p "$out/corpus" "$out/artifacts"

# The fuzzer is a target of its own build folder, configured with clang and
# VX_FUZZ (every library instrumented).
CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DVX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz --target "$target"

"build/fuzz/bin/$target" -max_total_time="$seconds" -max_len=4096 \
    -artifact_prefix="$out/artifacts/" "$out/corpus" "$saved"
