#!/usr/bin/env bash
# Times a full scan of every table of the largest fixture with our reader, and mdb-export of
# the same tables in the same run. Prints both times, throughput and our peak memory.
# Usage: bench/read_benchmark.sh [build-dir]   (default build/default, built if needed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
input="$root/../shared/fixtures/generated/frag-large.mdb.gz"
[ -f "$input" ] || { echo "missing $input" >&2; exit 1; }
command -v mdb-export >/dev/null || { echo "mdb-export (mdbtools) is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time (package time) is not installed" >&2; exit 1; }

[ -f "$build/build.ninja" ] || cmake --preset default -B "$build" >/dev/null
cmake --build "$build" --target jet_read_benchmark >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gzip -dc "$input" > "$work/frag-large.mdb"
file="$work/frag-large.mdb"
megabytes=$(( $(stat -c %s "$file") / 1048576 ))
cat "$file" > /dev/null  # both readers start from a warm page cache

/usr/bin/time -v "$build/bench/jet_read_benchmark" "$file" > "$work/ours.out" 2> "$work/ours.time"
ours=$(awk '/seconds/ {print $NF}' "$work/ours.out")
value_mb=$(awk '/value_bytes/ {printf "%.1f", $6 / 1048576}' "$work/ours.out")
peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/ours.time")

start=$(date +%s%N)
rows=0
while IFS= read -r table; do
  [ -n "$table" ] || continue
  n=$(mdb-export -b raw "$file" "$table" | wc -l)
  rows=$((rows + n - 1))
done < <(mdb-tables -S -1 "$file")
theirs=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN {printf "%.3f", (b - a) / 1e9}')

echo "input: frag-large.mdb, ${megabytes} MB"
echo "ours:       $(cat "$work/ours.out")"
rate() { awk -v m="$megabytes" -v s="$1" 'BEGIN {printf "%.1f", m / s}'; }
echo "ours:       ${ours} s, $(rate "$ours") MB/s of file, ${value_mb} MB of values read, peak RSS ${peak} KB"
echo "mdb-export: ${theirs} s, $(rate "$theirs") MB/s of file (${rows} CSV lines)"
