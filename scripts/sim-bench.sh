#!/usr/bin/env bash
# Starts a bench of simulated meters for vxlog --meter / --bench: four vxsim
# on pseudo-terminals (V, I, F on VX480s, R on a VX260), writes a bench file
# for them and prints the commands to log them. The meters run until this
# script is stopped (Ctrl+C); their folder goes with them.
#   bash scripts/sim-bench.sh [BUILD]        default build/run
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/run}"
if [ ! -x "$build/bin/vxsim" ] || [ ! -x "$build/bin/vxlog" ]; then
    bash scripts/deps.sh
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j "$(nproc)" --target vxsim vxlog
fi

dir=$(mktemp -d /tmp/vxbench-sim.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT INT TERM

start() {  # NAME MODEL
    "$build/bin/vxsim" --link "$dir/$1" --model "$2" >/dev/null &
    pids+=($!)
}
start V VX480
start I VX480
start F VX480
start R VX260
for name in V I F R; do
    for _ in $(seq 50); do [ -e "$dir/$name" ] && break; sleep 0.1; done
done

cat >"$dir/bench.ini" <<INI
[bench]
meters = V, I, F, R

[V]
port = $dir/V
function = DC VOLTAGE

[I]
port = $dir/I
function = DC CURRENT
range = 2 A

[F]
port = $dir/F
function = FREQUENCY

[R]
port = $dir/R
function = 2W RESISTANCE
INI

echo "Four simulated meters in $dir (Ctrl+C stops them). Log them with:"
echo "  $build/bin/vxlog --bench $dir/bench.ini --interval 1 --format csv"
echo "  $build/bin/vxlog --meter \"V=$dir/V,function=DC VOLTAGE\" --meter \"I=$dir/I,function=DC CURRENT\" --count 10"
wait
