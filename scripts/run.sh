#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Unless VXMETER_COM1
# already names a device, a simulated VX480 is started first and put on COM1.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

build=build/run
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what running needs: the program (with its help file) and the simulator.
cmake --build "$build" -j "$(nproc)" --target vxmeter vxsim

sim_pid=""
simdir=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    if [ -n "$simdir" ]; then rmdir "$simdir" 2>/dev/null || true; fi
}
trap cleanup EXIT

if [ -z "${VXMETER_COM1:-}" ]; then
    simdir=$(mktemp -d /tmp/vxmeter-sim.XXXXXX)
    "$build/bin/vxsim" --link "$simdir/COM1" --model VX480 --term LF &
    sim_pid=$!
    for _ in $(seq 50); do [ -e "$simdir/COM1" ] && break; sleep 0.1; done
    export VXMETER_COM1="$simdir/COM1"
    echo "Simulated VX480 on COM1 ($VXMETER_COM1), terminator LF, 9600 baud."
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display attached: running under Xvfb."
    xvfb-run -a -s "-screen 0 1600x1000x24" "$build/bin/vxmeter"
else
    "$build/bin/vxmeter"
fi
