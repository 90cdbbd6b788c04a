#!/usr/bin/env bash
# Builds in release mode and prints the program's performance figures as one
# Markdown table: figure, goal, measured, verdict. Takes a little over a
# minute: Run with logging is measured for 60 s on the real clock against the
# vxsim meter on a pseudo-terminal.
#
#   bash scripts/bench.sh [build folder]      (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh >&2

build="${1:-build/bench}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >&2
cmake --build "$build" -j "$(nproc)" --target vxbench vxsim bench_helpfile >&2
export QT_QPA_PLATFORM=offscreen
export VXSIM="$build/bin/vxsim"
bin="$build/bin"

figures="$(mktemp)"
trap 'rm -f "$figures"' EXIT
"$bin/vxbench" receive >>"$figures"
"$bin/vxbench" latency >>"$figures"
for _ in 1 2 3 4 5; do "$bin/vxbench" startup; done | grep '^startup_ms' |
    sort -t$'\t' -k2 -n | sed -n 3p >>"$figures"
"$bin/vxbench" run 60 >>"$figures"
help_ms="$("$bin/bench_helpfile" | sed -n 's/^read + scan (median): \([0-9.]*\) ms.*/\1/p')"
printf 'help_ms\t%s\n' "$help_ms" >>"$figures"

get() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' "$figures"; }
verdict() { if awk "BEGIN { exit !($1) }"; then echo met; else echo "MISSED"; fi; }

cpu_model="$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
receive="$(get receive_per_s)"
rss="$(get rss_growth_kb)"
lat_med="$(get latency_median_ms)"
lat_max="$(get latency_max_ms)"
startup="$(get startup_ms)"
run_cpu="$(get run_cpu_percent)"
f_n="$(get fetch_count)"
f_mean="$(get fetch_mean_s)"
f_max="$(get fetch_max_s)"

cat <<TABLE
# Performance

Measured by \`bash scripts/bench.sh\` (release build) on $(uname -m), ${cpu_model:-unknown CPU},
$(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC').

| figure | goal | measured | verdict |
|---|---|---|---|
| CPU time of the program during 60 s of Run with logging on | at most 1% of one core | ${run_cpu}% | $(verdict "$run_cpu <= 1") |
| period between FETC? queries seen by the simulator ($f_n periods) | mean within 2 ms of 1.000 s; none over 1.020 s | mean ${f_mean} s, longest ${f_max} s | $(verdict "($f_mean - 1.0) <= 0.002 && (1.0 - $f_mean) <= 0.002 && $f_max <= 1.020") |
| receive path (framing, display, log line) in process | at least 100,000 replies/s | ${receive} replies/s | $(verdict "$receive >= 100000") |
| start of the program to the main window shown (median of 5) | under 300 ms | ${startup} ms | $(verdict "$startup < 300") |
| reading a 10 MB help file (read and scan, median of 10) | under 50 ms | ${help_ms} ms | $(verdict "$help_ms < 50") |
| resident memory after 1,000,000 replies with logging | grows by less than 1 MB | ${rss} kB | $(verdict "$rss < 1024") |
| reply complete at the port (pseudo-terminal) to the value shown | under 5 ms | median ${lat_med} ms, longest ${lat_max} ms of 300 | $(verdict "$lat_max < 5") |
TABLE

# The Trend window and log files, in a table of their own.
bash scripts/bench-trend.sh "$build"
