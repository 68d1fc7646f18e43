#!/usr/bin/env bash
# Times a full scan of every table of the largest fixture with our reader, and mdb-export of
# the same tables in the same run. Prints both times, throughput and our peak memory.
# Usage: bench/read_benchmark.sh [build-dir]   (default build/default, built if needed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
. "$root/bench/frag_large.sh" jet_read_benchmark

/usr/bin/time -v "$build/bench/jet_read_benchmark" "$file" > "$work/ours.out" 2> "$work/ours.time"
ours=$(awk '/seconds/ {print $NF}' "$work/ours.out")
value_mb=$(awk '/value_bytes/ {printf "%.1f", $6 / 1048576}' "$work/ours.out")
peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/ours.time")

export_all_tables

echo "input: frag-large.mdb, ${megabytes} MB"
echo "ours:       $(cat "$work/ours.out")"
echo "ours:       ${ours} s, $(rate "$ours") MB/s of file, ${value_mb} MB of values read, peak RSS ${peak} KB"
echo "mdb-export: ${export_time} s, $(rate "$export_time") MB/s of file (${export_rows} CSV lines)"
