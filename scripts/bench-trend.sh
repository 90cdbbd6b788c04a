#!/usr/bin/env bash
# Figures of the Trend window and of reading log files back, as one Markdown
# table: reading 1,000,000 log lines (median of 3), reading a year of readings
# at one a second (31.5 million lines, about 1.5 GB, written to ${TMPDIR:-/tmp}
# and removed afterwards) with the most memory the process held, and zoom and
# pan on a day of readings, live and from a log. Takes about two minutes.
#
#   bash scripts/bench-trend.sh [build folder]      (default build/bench)
# scripts/bench.sh runs it after its own table.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/bench}"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVX_BENCHMARKS=ON >&2
fi
cmake --build "$build" -j "$(nproc)" --target bench_logread bench_trend >&2
export QT_QPA_PLATFORM=offscreen
bin="$build/bin"

work="$(mktemp -d "${TMPDIR:-/tmp}/vxbench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

"$bin/bench_logread" make "$work/million.csv" 1000000 >&2
million=()
for _ in 1 2 3; do
    million+=("$("$bin/bench_logread" read "$work/million.csv" | awk -F'\t' '$1 == "read_seconds" { print $2 }')")
done
million_s="$(printf '%s\n' "${million[@]}" | sort -n | sed -n 2p)"
rm -f "$work/million.csv"

"$bin/bench_logread" make "$work/year.csv" 31536000 >&2
year="$("$bin/bench_logread" read "$work/year.csv")"
rm -f "$work/year.csv"
get() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' <<<"$year"; }
year_s="$(get read_seconds)"
year_mb="$(get peak_rss_mb)"
year_lines="$(get read_lines)"
year_bytes="$(get read_bytes)"

draw="$("$bin/bench_trend" 2>/dev/null)"
field() { awk -F'\t' -v k="$1" -v n="$2" '$1 == k { print $n }' <<<"$draw"; }
verdict() { if awk "BEGIN { exit !($1) }"; then echo met; else echo "MISSED"; fi; }
load="$(cut -d' ' -f1-3 /proc/loadavg)"
cpu_model="$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"

cat <<TABLE

## Trend window and log files

Measured by \`bash scripts/bench-trend.sh\` (release build) on $(uname -m), ${cpu_model:-unknown CPU},
$(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'), load average $load at the end. Redraw figures are the wall time from the event to the painted plot, and in
brackets the CPU time of the window's thread, which a busy machine does not stretch.

| figure | goal | measured | verdict |
|---|---|---|---|
| reading a log of 1,000,000 lines (median of 3) | under 1 s | ${million_s} s | $(verdict "$million_s < 1") |
| reading a log of $year_lines lines ($year_bytes bytes): most memory held | under 100 MB | ${year_mb} MB in ${year_s} s | $(verdict "$year_mb < 100") |
| zoom on a live day of readings (86,400), redraw and paint, 40 wheel notches | under 16 ms | median $(field live_zoom 2) ms, longest $(field live_zoom 3) ms (CPU median $(field live_zoom 4) ms, longest $(field live_zoom 5) ms) | $(verdict "$(field live_zoom 2) < 16") |
| pan on a live day of readings, redraw and paint, 40 drag steps | under 16 ms | median $(field live_pan 2) ms, longest $(field live_pan 3) ms (CPU median $(field live_pan 4) ms, longest $(field live_pan 5) ms) | $(verdict "$(field live_pan 2) < 16") |
| zoom on a day read from a log file | under 16 ms | median $(field log_zoom 2) ms, longest $(field log_zoom 3) ms (CPU median $(field log_zoom 4) ms, longest $(field log_zoom 5) ms) | $(verdict "$(field log_zoom 2) < 16") |
| pan on a day read from a log file | under 16 ms | median $(field log_pan 2) ms, longest $(field log_pan 3) ms (CPU median $(field log_pan 4) ms, longest $(field log_pan 5) ms) | $(verdict "$(field log_pan 2) < 16") |
TABLE
