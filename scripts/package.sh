#!/usr/bin/env bash
# Builds the Debian package from this tree: a release build of the programs
# the package holds, staged under /usr by CPack, dependencies found by
# dpkg-shlibdeps. Prints the path of the package on stdout, the build on stderr.
#
#   bash scripts/package.sh [--no-deps]
#
# --no-deps: do not install missing build packages (scripts/deps.sh already ran).
# VX_PACKAGE_BUILD names the build folder (default build/package).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "${1:-}" != "--no-deps" ]]; then
    bash scripts/deps.sh
fi

build="${VX_PACKAGE_BUILD:-build/package}"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Debian's build flags, with every hardening feature.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
# The programs only (no tests), one compiler run for several files of a
# library (unity build).
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVX_INSTALL_LAYOUT=debian "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" \
    "-DCMAKE_MODULE_LINKER_FLAGS=$ldflags" -DBUILD_TESTING=OFF -DCMAKE_UNITY_BUILD=ON \
    "${launcher[@]}" >&2
cmake --build "$build" --target package-programs -j "$(nproc)" >&2
rm -f "$build"/vxmeter_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$build" >&2
shopt -s nullglob
debs=("$build"/vxmeter_*.deb)
if ((${#debs[@]} != 1)); then
    echo "package.sh: expected one package in $build, found ${#debs[@]}" >&2
    exit 1
fi
echo "${debs[0]}"
