#!/usr/bin/env bash
# Compacts generated/frag-large.mdb.gz (unpacked) with vintrel-jet-compact and, in the same
# run, copies it with cp (the physical limit for reading and writing those bytes; also with
# the copy flushed, as the compaction flushes its own) and exports every table with
# mdb-export. Prints the times, the ratio to cp, throughput and the compaction's peak memory.
# Usage: bench/compact_benchmark.sh [build-dir]   (default build/default, built if needed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
input="$root/../shared/fixtures/generated/frag-large.mdb.gz"
[ -f "$input" ] || { echo "missing $input" >&2; exit 1; }
command -v mdb-export >/dev/null || { echo "mdb-export (mdbtools) is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time (package time) is not installed" >&2; exit 1; }

[ -f "$build/build.ninja" ] || cmake --preset default -B "$build" >/dev/null
cmake --build "$build" --target vintrel-jet-compact >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gzip -dc "$input" > "$work/frag-large.mdb"
file="$work/frag-large.mdb"
megabytes=$(( $(stat -c %s "$file") / 1048576 ))
cat "$file" > /dev/null  # every contender starts from a warm page cache

seconds() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", (b - a) / 1e9}'; }

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

start=$(date +%s%N)
rows=0
while IFS= read -r table; do
  [ -n "$table" ] || continue
  n=$(mdb-export -b raw "$file" "$table" | wc -l)
  rows=$((rows + n - 1))
done < <(mdb-tables -S -1 "$file")
export_time=$(seconds "$start" "$(date +%s%N)")

rate() { awk -v m="$megabytes" -v s="$1" 'BEGIN {printf "%.1f", m / s}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
echo "input: frag-large.mdb, ${megabytes} MB; copy: $(( $(stat -c %s "$work/compacted.mdb") / 1048576 )) MB"
echo "compaction: $(cat "$work/ours.out")"
echo "compaction: ${ours} s, $(rate "$ours") MB/s of input, peak RSS ${peak} KB"
echo "cp:         ${copy} s ($(ratio "$ours" "$copy")x); cp and flush: ${copy_flushed} s ($(ratio "$ours" "$copy_flushed")x)"
echo "mdb-export: ${export_time} s, $(rate "$export_time") MB/s (${rows} CSV lines)"
