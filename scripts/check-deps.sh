#!/usr/bin/env bash
# Checks that every CMake package configuration a configured build loaded is
# owned by a Debian package that scripts/deps.sh installs, directly or through
# its Depends and Pre-Depends (never Recommends, which deps.sh does not
# install). A package that is on this machine only by chance (installed by
# hand, or left by something else) would otherwise hide a missing install
# step until a fresh machine fails to configure.
#
#   bash scripts/check-deps.sh BUILD_DIR
#
# Works offline: it reads the local package database only (dpkg-query,
# dpkg -S). Exit 0 when every configuration is covered, 1 when one is not
# (naming the package to add and the configuration that needs it), 2 on bad
# use. Configurations that belong to no Debian package are reported as
# "cannot tell" and do not fail the check.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-}"
if [ -z "$build" ] || [ ! -f "$build/CMakeCache.txt" ]; then
    echo "usage: bash scripts/check-deps.sh BUILD_DIR (a configured build folder)" >&2
    exit 2
fi
if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "check-deps: cannot tell: dpkg-query is not here (not a Debian system); nothing checked" >&2
    exit 0
fi

source_dir="$(pwd -P)"
build_dir="$(cd "$build" && pwd -P)"

# The package configurations: cache entries NAME_DIR whose folder holds
# NAMEConfig.cmake or name-config.cmake, outside the source and build trees.
configs=()
while IFS= read -r line; do
    var="${line%%:*}"
    dir="${line#*=}"
    name="${var%_DIR}"
    case "$dir" in
    /*) ;;
    *) continue ;;
    esac
    case "$dir/" in
    "$source_dir"/* | "$build_dir"/*) continue ;;
    esac
    lower="$(printf '%s' "$name" | tr '[:upper:]' '[:lower:]')"
    for f in "$dir/${name}Config.cmake" "$dir/${lower}-config.cmake"; do
        if [ -f "$f" ]; then
            configs+=("$var=$f")
            break
        fi
    done
done < <(grep -E '^[A-Za-z0-9_]+_DIR:[A-Z]+=/' "$build/CMakeCache.txt" || true)

if ((${#configs[@]} == 0)); then
    echo "check-deps: cannot tell: $build/CMakeCache.txt names no package configuration" >&2
    exit 0
fi

# Every package deps.sh installs, then everything they depend on, taken from
# the installed packages' Depends and Pre-Depends. An alternative (a | b)
# counts when it is installed; a virtual name counts through the installed
# packages that provide it.
mapfile -t wanted < <(bash scripts/deps.sh --list)
closure="$(
    dpkg-query -W -f='${Package}\t${db:Status-Status}\t${Depends}, ${Pre-Depends}\t${Provides}\n' |
        awk -F'\t' -v roots="${wanted[*]}" '
        function bare(s) {
            sub(/\(.*\)/, "", s); sub(/:.*/, "", s); gsub(/[ \t]/, "", s); return s
        }
        $2 == "installed" {
            installed[$1] = 1
            deps[$1] = $3
            n = split($4, provided, ",")
            for (i = 1; i <= n; ++i) {
                v = bare(provided[i])
                if (v != "") providers[v] = providers[v] " " $1
            }
        }
        function add(p) { if (!(p in seen)) { seen[p] = 1; queue[++tail] = p } }
        function resolve(name,   m, list, j) {
            if (name in installed) add(name)
            if (name in providers) {
                m = split(providers[name], list, " ")
                for (j = 1; j <= m; ++j) if (list[j] != "") add(list[j])
            }
        }
        END {
            n = split(roots, r, " ")
            for (i = 1; i <= n; ++i) resolve(r[i])
            for (head = 1; head <= tail; ++head) {
                m = split(deps[queue[head]], items, ",")
                for (i = 1; i <= m; ++i) {
                    k = split(items[i], alts, "|")
                    for (j = 1; j <= k; ++j) {
                        a = bare(alts[j])
                        if (a != "") resolve(a)
                    }
                }
            }
            for (p in seen) print p
        }'
)"

# One look at the package database for all files: "pkg[:arch][, pkg2]: path".
files=()
for entry in "${configs[@]}"; do files+=("${entry#*=}"); done
owners="$(dpkg -S "${files[@]}" 2>/dev/null || true)"

failed=0
for entry in "${configs[@]}"; do
    var="${entry%%=*}"
    file="${entry#*=}"
    owner="$(awk -v f="$file" '{ i = index($0, ": /"); if (substr($0, i + 2) == f) print substr($0, 1, i - 1) }' <<<"$owners")"
    owner="${owner%%,*}"
    owner="${owner%%:*}"
    if [ -z "$owner" ]; then
        echo "check-deps: cannot tell who installs $file ($var): no Debian package owns it" >&2
        continue
    fi
    if ! grep -qxF "$owner" <<<"$closure"; then
        echo "check-deps: scripts/deps.sh does not install $owner, which provides $file ($var)." >&2
        echo "check-deps: a fresh machine would fail to configure; add $owner to scripts/deps.sh." >&2
        failed=1
    fi
done
if ((failed)); then
    exit 1
fi
echo "check-deps: all ${#configs[@]} package configurations come from packages scripts/deps.sh installs."
