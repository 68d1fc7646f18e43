#!/usr/bin/env bash
# Compacts generated/frag-large.mdb.gz (unpacked) with vintrel-jet-compact and, in the same
# run, copies it with cp (the physical limit for reading and writing those bytes; also with
# the copy flushed, as the compaction flushes its own) and exports every table with
# mdb-export. Prints the times, the ratio to cp, throughput and the compaction's peak memory.
# Usage: bench/compact_benchmark.sh [build-dir]   (default build/default, built if needed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
. "$root/bench/frag_large.sh" vintrel-jet-compact

start=$(date +%s%N); cp "$file" "$work/cp.mdb"; end=$(date +%s%N)
copy=$(seconds "$start" "$end")
rm "$work/cp.mdb"
start=$(date +%s%N); cp "$file" "$work/cp.mdb"; sync "$work/cp.mdb"; end=$(date +%s%N)
copy_flushed=$(seconds "$start" "$end")

start=$(date +%s%N)
/usr/bin/time -v "$build/src/app/vintrel-jet-compact" "$file" "$work/compacted.mdb" \
  > "$work/ours.out" 2> "$work/ours.time"
end=$(date +%s%N)
ours=$(seconds "$start" "$end")
peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/ours.time")

export_all_tables

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
echo "input: frag-large.mdb, ${megabytes} MB; copy: $(( $(stat -c %s "$work/compacted.mdb") / 1048576 )) MB"
echo "compaction: $(cat "$work/ours.out")"
echo "compaction: ${ours} s, $(rate "$ours") MB/s of input, peak RSS ${peak} KB"
echo "cp:         ${copy} s ($(ratio "$ours" "$copy")x); cp and flush: ${copy_flushed} s ($(ratio "$ours" "$copy_flushed")x)"
echo "mdb-export: ${export_time} s, $(rate "$export_time") MB/s (${export_rows} CSV lines)"
