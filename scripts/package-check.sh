#!/usr/bin/env bash
# Builds the Debian package and checks it:
#   - metadata (dpkg-deb --info): name, version from CMakeLists.txt, and a
#     Depends that names the package of every Qt library the binaries use;
#   - contents (dpkg-deb --contents): every program and its manual page, the
#     help file, the menu entry and icon, the documents, all owned by root,
#     and nothing outside the places below;
#   - lintian: no errors and no warnings;
#   - the unpacked vxsim and vxmeter against each other: the connection
#     check identifies the meter and takes a reading, and the window starts
#     on the offscreen platform and keeps running;
#   - the unpacked vxlog loads its broker module (--mqtt) from usr/lib/vxmeter.
#
#   bash scripts/package-check.sh [--no-deps]
#
# VX_PACKAGE_DEB names a package to check instead of building one.
set -euo pipefail
cd "$(dirname "$0")/.."

# The programs on the PATH: one manual page in packaging/man for each. A new
# program joins the package and this check with its page.
programs=()
for page in packaging/man/*.1; do
    programs+=("$(basename "$page" .1)")
done

# Where the package may put files.
places=(
    usr/bin/
    usr/lib/vxmeter/
    usr/libexec/vxmeter/
    usr/lib/vxmeter/
    usr/share/lintian/overrides/
    usr/share/vxmeter/
    usr/share/applications/
    usr/share/icons/hicolor/
    usr/share/man/man1/
    usr/share/doc/vxmeter/
    usr/share/lintian/overrides/
)
# Modules loaded on demand (network ports); dpkg-shlibdeps sees their libraries.
places+=(usr/lib/vxmeter/ usr/share/lintian/overrides/)

# Files the package must hold besides the programs and their pages.
required=(
    usr/libexec/vxmeter/uninstaller
    usr/share/vxmeter/Help.mhf
    usr/share/applications/vxmeter.desktop
    usr/share/icons/hicolor/scalable/apps/vxmeter.svg
    usr/share/doc/vxmeter/README.md
    usr/share/doc/vxmeter/copyright
    usr/share/doc/vxmeter/changelog.gz
    usr/lib/vxmeter/vxlog-serve.so
    usr/lib/vxmeter/vxlog-mqtt.so
)
required+=(usr/lib/vxmeter/vxlog-network.so)

failures=0
fail() {
    echo "package-check: FAIL: $*" >&2
    failures=$((failures + 1))
}

deb="${VX_PACKAGE_DEB:-}"
if [[ -z "$deb" ]]; then
    deb="$(bash scripts/package.sh "$@" | tail -n 1)"
fi
echo "package-check: $deb"

work="$(mktemp -d)"
sim_pid=""
netsim_pid=""
cleanup() {
    if [[ -n "$sim_pid" ]]; then kill "$sim_pid" 2>/dev/null || true; fi
    if [[ -n "$netsim_pid" ]]; then kill "$netsim_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# --- metadata -------------------------------------------------------------
dpkg-deb --info "$deb" >"$work/info"
field() { dpkg-deb --field "$deb" "$1"; }
version="$(sed -n 's/^project(vxmeter VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[[ "$(field Package)" == vxmeter ]] || fail "Package is '$(field Package)'"
[[ "$(field Version)" == "$version" ]] || fail "Version is '$(field Version)', not $version"
[[ "$(field Architecture)" == "$(dpkg --print-architecture)" ]] || fail "Architecture"
depends="$(field Depends)"
echo "package-check: Depends: $depends"

# --- contents -------------------------------------------------------------
dpkg-deb --contents "$deb" >"$work/contents"
# "-rwxr-xr-x root/root 12345 2026-01-01 00:00 ./usr/bin/vxmeter"
while read -r owner file; do
    fail "$file is owned by $owner, not root"
done < <(awk '$2 != "root/root" { print $2, $6 }' "$work/contents")
# Files and links, without the leading "./".
awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' "$work/contents" | sort >"$work/files"
while read -r file; do
    inside=no
    for place in "${places[@]}"; do
        [[ "$file" == "$place"* ]] && inside=yes
    done
    [[ $inside == yes ]] || fail "$file is outside the package's places"
done <"$work/files"
has() { grep -qxF "$1" "$work/files"; }
for program in "${programs[@]}"; do
    has "usr/bin/$program" || fail "program $program missing"
    has "usr/share/man/man1/$program.1.gz" || fail "manual page $program.1.gz missing"
done
while read -r file; do
    program="$(basename "$file")"
    [[ -f "packaging/man/$program.1" ]] || fail "$file has no manual page in packaging/man"
done < <(grep '^usr/bin/' "$work/files")
for file in "${required[@]}"; do
    has "$file" || fail "$file missing"
done

# --- the libraries --------------------------------------------------------
# Each Qt library a binary is linked with, and the Debian package holding it.
dpkg-deb -x "$deb" "$work/root"
for binary in "$work/root/usr/bin/"* "$work/root/usr/libexec/vxmeter/"* \
    "$work/root/usr/lib/vxmeter/"*.so; do
    ldd "$binary" >"$work/ldd"
    for library in $(objdump -p "$binary" | awk '$1 == "NEEDED" && $2 ~ /^libQt6/ { print $2 }'); do
        path="$(awk -v lib="$library" '$1 == lib { print $3; exit }' "$work/ldd")"
        owner="$(dpkg -S "$(realpath "$path")" 2>/dev/null | head -n 1 | cut -d: -f1)"
        if [[ -z "$owner" ]]; then
            fail "no Debian package holds $library of $(basename "$binary")"
        elif ! grep -qE "(^|, )$owner( |,|$)" <<<"$depends"; then
            fail "Depends does not name $owner ($library of $(basename "$binary"))"
        else
            echo "package-check: $(basename "$binary"): $library from $owner"
        fi
    done
done

# The broker module: dpkg-shlibdeps saw it, so Depends names the MQTT
# client library's package.
if [[ -f "$work/root/usr/lib/vxmeter/vxlog-mqtt.so" ]]; then
    grep -qE '(^|, )libmosquitto1( |,|$)' <<<"$depends" ||
        fail "Depends does not name libmosquitto1 (vxlog-mqtt.so)"
fi

# --- lintian --------------------------------------------------------------
if lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1; then
    sed 's/^/package-check: lintian: /' "$work/lintian"
else
    sed 's/^/package-check: lintian: /' "$work/lintian" >&2
    fail "lintian reports errors or warnings"
fi

# --- the unpacked programs against each other -----------------------------
export QT_QPA_PLATFORM=offscreen
# The first line vxsim prints (its device), waited for up to five seconds.
first_line() {
    for _ in $(seq 50); do
        [[ -s "$1" ]] && break
        sleep 0.1
    done
    head -n 1 "$1"
}
"$work/root/usr/bin/vxsim" --model VX480 --term LF >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
device="$(first_line "$work/sim.out")"
if [[ -z "$device" ]]; then
    fail "vxsim printed no device: $(cat "$work/sim.err")"
else
    if VXMETER_COM1="$device" timeout 30 "$work/root/usr/bin/vxmeter" --check 1 \
        >"$work/check.out" 2>"$work/check.err"; then
        sed 's/^/package-check: vxmeter --check: /' "$work/check.out"
        grep -q '^Identification: Velmora,VX480,' "$work/check.out" ||
            fail "no identification: $(cat "$work/check.out")"
        grep -qE '^Reading: [+-][0-9]\.[0-9]+E[+-][0-9]+$' "$work/check.out" ||
            fail "no reading: $(cat "$work/check.out")"
    else
        fail "vxmeter --check 1: $(cat "$work/check.out" "$work/check.err")"
    fi
fi

# vxlog serves its live page from the module in /usr/lib/vxmeter.
if [[ -n "$device" ]]; then
    timeout 10 "$work/root/usr/bin/vxlog" --port "$device" --count 3 --interval 0.1 --quiet \
        --serve 0 >"$work/serve.out" 2>"$work/serve.err" || true
    grep -q '^vxlog: serving http://127.0.0.1:[0-9]*/$' "$work/serve.err" ||
        fail "vxlog --serve: $(cat "$work/serve.err")"
fi
# The unpacked vxlog loads the broker module from usr/lib/vxmeter: with no
# broker to reach it measures on and keeps the reading in its journal.
if [[ -n "$device" ]]; then
    if VXMETER_COM1="$device" timeout 30 "$work/root/usr/bin/vxlog" --port COM1 --count 1 \
        --quiet --mqtt mqtt://127.0.0.1:9/check --journal "$work/check.journal" \
        >"$work/mqtt.out" 2>"$work/mqtt.err"; then
        grep -q 'does not answer' "$work/mqtt.err" ||
            fail "vxlog --mqtt: $(cat "$work/mqtt.err")"
        sed 's/^/package-check: vxlog --mqtt: /' "$work/mqtt.err"
    else
        fail "vxlog --mqtt: $(cat "$work/mqtt.err")"
    fi
fi
# vxlog on a network port: the installed module is found and works.
"$work/root/usr/bin/vxsim" --listen 127.0.0.1:0 >"$work/netsim.out" 2>"$work/netsim.err" &
netsim_pid=$!
netdevice="$(first_line "$work/netsim.out")"
if [[ "$netdevice" != tcp://* ]]; then
    fail "vxsim --listen printed no address: $(cat "$work/netsim.err")"
elif timeout 30 "$work/root/usr/bin/vxlog" --port "$netdevice" --count 1 --format csv \
    >"$work/netlog.out" 2>"$work/netlog.err"; then
    sed 's/^/package-check: vxlog over tcp: /' "$work/netlog.out"
    [[ $(wc -l <"$work/netlog.out") == 2 ]] || fail "vxlog over tcp: $(cat "$work/netlog.out")"
else
    fail "vxlog --port $netdevice: $(cat "$work/netlog.out" "$work/netlog.err")"
fi
kill "$netsim_pid" 2>/dev/null || true

# The window: still running after three seconds (timeout ends it with 124).
status=0
timeout 3 "$work/root/usr/bin/vxmeter" >"$work/window.out" 2>&1 || status=$?
[[ $status == 124 ]] || fail "the window ended with status $status: $(cat "$work/window.out")"

if ((failures)); then
    echo "package-check: $failures failure(s)" >&2
    exit 1
fi
echo "package-check: passed"
