#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those that are
# missing. `--bench` adds what the benchmarks need on top. `--list` prints the
# list of the build, the tests and the run command, one package a line, and
# installs nothing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev libgl-dev
    libqt6opengl6-dev        # Qt6OpenGLConfig.cmake, which Qt6ChartsConfig.cmake loads
    libxkbcommon-dev         # keyboard maps Qt6Gui looks for at configure (else "Could NOT find XKB")
    qt6-qpa-plugins          # offscreen and xcb platform plugins
    fonts-liberation         # metric-compatible Arial for the display boxes
    xvfb xauth               # run the window where no display is attached
    clang libclang-rt-14-dev # fuzzing and sanitizer builds
    lld                      # links the test builds (VX_LINKER=lld), faster than ld
    dpkg-dev file lintian    # the Debian package: dpkg-shlibdeps, ELF detection, lintian
    qt6-httpserver-dev       # the live page (vxlog --serve): its HTTP server
    qt6-websockets-dev       # the live page: readings reach the browser over a WebSocket
    libjs-dygraphs           # the live page's plot, copied into vxlog's module at build time
    chromium                 # the live page's tests open it in a real headless browser
    libmosquitto-dev         # the MQTT client library of vxlog --mqtt
    mosquitto                # the broker the MQTT tests start on a free loopback port
    mosquitto-clients        # mosquitto_sub, which the MQTT tests read with
    openssl                  # makes the certificates of the MQTT TLS test
)
bench_packages=(
    time python3             # the vxlog benchmark: GNU time for peak memory, Python to drive it
)

case "${1:-}" in
--list)
    printf '%s\n' "${packages[@]}"
    exit 0
    ;;
--bench) packages+=("${bench_packages[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
