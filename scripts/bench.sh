#!/usr/bin/env bash
# Builds in release mode and prints the program's performance figures as one
# Markdown table: figure, goal, measured, verdict. Takes a little over a
# minute: Run with logging is measured for 60 s on the real clock against the
# vxsim meter on a pseudo-terminal, Connect for a few seconds over TCP.
#
#   bash scripts/bench.sh [build folder]      (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --bench >&2

build="${1:-build/bench}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVX_BENCHMARKS=ON >&2
cmake --build "$build" -j "$(nproc)" --target vxbenchmark vxsim bench_helpfile >&2
export QT_QPA_PLATFORM=offscreen
export VXSIM="$build/bin/vxsim"
bin="$build/bin"

figures="$(mktemp)"
trap 'rm -f "$figures"' EXIT
"$bin/vxbenchmark" receive >>"$figures"
"$bin/vxbenchmark" latency >>"$figures"
# Start-up beside a one-button Qt Widgets window, alternating, median of 7
# each: the reference keeps the verdict from following the machine's speed.
for _ in 1 2 3 4 5 6 7; do
    "$bin/vxbenchmark" startup
    "$bin/vxbenchmark" startup-minimal | sed 's/^startup_ms/minimal_ms/'
done >"$figures.start"
for k in startup_ms minimal_ms; do
    grep "^$k" "$figures.start" | sort -t$'\t' -k2 -n | sed -n 4p >>"$figures"
done
rm -f "$figures.start"
"$bin/vxbenchmark" comlist >>"$figures"
"$bin/vxbenchmark" run 60 >>"$figures"
"$bin/vxbenchmark" connect >>"$figures"
help_ms="$("$bin/bench_helpfile" | sed -n 's/^read + scan (median): \([0-9.]*\) ms.*/\1/p')"
printf 'help_ms\t%s\n' "$help_ms" >>"$figures"

get() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' "$figures"; }
verdict() { if awk "BEGIN { exit !($1) }"; then echo met; else echo "MISSED"; fi; }

cpu_model="$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
receive="$(get receive_per_s)"
receive_ref="$(get receive_reference_per_s)"
minimal="$(get minimal_ms)"
comlist="$(get comlist_ms)"
ttys="$(get ttys)"
rss="$(get rss_growth_kb)"
lat_med="$(get latency_median_ms)"
lat_max="$(get latency_max_ms)"
startup="$(get startup_ms)"
run_cpu="$(get run_cpu_percent)"
f_n="$(get fetch_count)"
f_mean="$(get fetch_mean_s)"
f_max="$(get fetch_max_s)"
c_pty="$(get connect_pty_ms)"
c_tcp="$(get connect_tcp_ms)"
c_dead="$(get connect_dead_ms)"
c_dead_cpu="$(get connect_dead_cpu_ms)"

cat <<TABLE
# Performance

Measured by \`bash scripts/bench.sh\` (release build) on $(uname -m), ${cpu_model:-unknown CPU},
$(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC').

| figure | goal | measured | verdict |
|---|---|---|---|
| CPU time of the program during 60 s of Run with logging on | at most 1% of one core | ${run_cpu}% | $(verdict "$run_cpu <= 1") |
| period between FETC? queries seen by the simulator ($f_n periods) | mean within 2 ms of 1.000 s; none over 1.020 s | mean ${f_mean} s, longest ${f_max} s | $(verdict "($f_mean - 1.0) <= 0.002 && (1.0 - $f_mean) <= 0.002 && $f_max <= 1.020") |
| receive path (framing, display, log line) in process, beside the same log lines written bare in the same run | at least an eighth of the bare writes (each reply also takes the local time and updates the display) | ${receive} replies/s against ${receive_ref} lines/s | $(verdict "$receive * 8 >= $receive_ref") |
| start of the program to the main window shown, beside a one-button Qt Widgets window in the same run (median of 7 each) | under 120 ms and at most 2.5 times the one-button window | ${startup} ms against ${minimal} ms | $(verdict "$startup < 120 && $startup <= 2.5 * $minimal") |
| opening the COM Port list (tool tips of 15 entries; ${ttys} entries under /sys/class/tty), median of 7 | under 30 ms | ${comlist} ms | $(verdict "$comlist < 30") |
| reading a 10 MB help file (read and scan, median of 10) | under 50 ms | ${help_ms} ms | $(verdict "$help_ms < 50") |
| resident memory after 1,000,000 replies with logging | grows by less than 1 MB | ${rss} kB | $(verdict "$rss < 1024") |
| reply complete at the port (pseudo-terminal) to the value shown | under 5 ms | median ${lat_med} ms, longest ${lat_max} ms of 300 | $(verdict "$lat_max < 5") |
| Connect over TCP (vxsim --listen), the 2 s identification wait included | within 20 ms of a pseudo-terminal | TCP ${c_tcp} ms, pseudo-terminal ${c_pty} ms | $(verdict "$c_tcp - $c_pty <= 20") |
| Connect to a device server that never answers | gives up after 3 s, under 30 ms CPU meanwhile | ${c_dead} ms, ${c_dead_cpu} ms CPU | $(verdict "$c_dead >= 3000 && $c_dead < 3100 && $c_dead_cpu < 30") |
TABLE

# The Trend window and log files, in a table of their own.
bash scripts/bench-trend.sh "$build"
