#!/usr/bin/env bash
# Compacts generated/frag-large.mdb.gz (unpacked) with vintrel-jet-compact and, in the same
# run, copies it with cp (the physical limit for reading and writing those bytes; also with
# the copy flushed, as the compaction flushes its own) and exports every table with
# mdb-export. Each of the three is timed RUNS times (default 5) in turn and the median is
# printed, with the ratio to cp, throughput and the compaction's peak memory. Then the three
# generated sizes are compacted alike, so that the growth of the cost shows. Last, Jet 3
# conversions beside Jet 4 compactions: each Jet 3 fixture beside its Jet 4 twin (files this
# small mostly time the program's start), and Jet 3 databases grown to the sizes of
# frag-small and frag-large (bench/grow_jet3.mjs), each beside the compaction of its own Jet 4
# copy (the same content) and of the generated file of its size, per megabyte of input.
# Usage: bench/compact_benchmark.sh [build-dir]   (default build/default, built if needed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
runs=${RUNS:-5}
. "$root/bench/frag_large.sh" vintrel-jet-compact
compact="$build/tools/jet/vintrel-jet-compact"

# The median of the numbers on standard input.
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# Compacts $1 into $work/compacted.mdb (replaced) once; prints "<seconds> <peak RSS in KB>",
# and leaves the tool's own line in $work/ours.out.
compact_once() {
  rm -f "$work/compacted.mdb"
  local start end
  start=$(date +%s%N)
  /usr/bin/time -v "$compact" "$1" "$work/compacted.mdb" > "$work/ours.out" 2> "$work/ours.time"
  end=$(date +%s%N)
  echo "$(seconds "$start" "$end") $(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/ours.time")"
}

: > "$work/times"
for _ in $(seq "$runs"); do
  rm -f "$work/cp.mdb"
  start=$(date +%s%N); cp "$file" "$work/cp.mdb"; end=$(date +%s%N)
  copy=$(seconds "$start" "$end")
  rm "$work/cp.mdb"
  start=$(date +%s%N); cp "$file" "$work/cp.mdb"; sync "$work/cp.mdb"; end=$(date +%s%N)
  copy_flushed=$(seconds "$start" "$end")
  rm "$work/cp.mdb"
  echo "$copy $copy_flushed $(compact_once "$file")" >> "$work/times"
done
copy=$(awk '{print $1}' "$work/times" | median)
copy_flushed=$(awk '{print $2}' "$work/times" | median)
ours=$(awk '{print $3}' "$work/times" | median)
peak=$(awk '{print $4}' "$work/times" | sort -n | tail -1)

export_all_tables

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
echo "input: frag-large.mdb, ${megabytes} MB; copy: $(( $(stat -c %s "$work/compacted.mdb") / 1048576 )) MB; medians of ${runs} runs"
echo "compaction: $(cat "$work/ours.out")"
echo "compaction: ${ours} s, $(rate "$ours") MB/s of input, peak RSS ${peak} KB"
echo "cp:         ${copy} s ($(ratio "$ours" "$copy")x); cp and flush: ${copy_flushed} s ($(ratio "$ours" "$copy_flushed")x)"
echo "mdb-export: ${export_time} s, $(rate "$export_time") MB/s (${export_rows} CSV lines)"

echo "by size (median of ${runs} compactions, largest peak RSS):"
for name in frag-small clean-medium frag-large; do
  [ -f "$work/$name.mdb" ] || unpack_generated "$name"
  : > "$work/sized"
  for _ in $(seq "$runs"); do compact_once "$work/$name.mdb" >> "$work/sized"; done
  size=$(( $(stat -c %s "$work/$name.mdb") / 1048576 ))
  took=$(awk '{print $1}' "$work/sized" | median)
  printf '  %-13s %4d MB: %s s, %s MB/s, peak RSS %s KB\n' "$name" "$size" "$took" \
    "$(awk -v m="$size" -v s="$took" 'BEGIN {printf "%.1f", m / s}')" \
    "$(awk '{print $2}' "$work/sized" | sort -n | tail -1)"
done

# Prints the median seconds of $runs compactions of $1 (a copy in $work), and the peak RSS.
median_compaction() {
  : > "$work/sized"
  for _ in $(seq "$runs"); do compact_once "$1" >> "$work/sized"; done
  echo "$(awk '{print $1}' "$work/sized" | median) $(awk '{print $2}' "$work/sized" | sort -n | tail -1)"
}
per_mb() { awk -v s="$1" -v f="$2" 'BEGIN {printf "%.4f", s / (f / 1048576)}'; }
fixtures="$root/../shared/fixtures"
command -v node >/dev/null || { echo "node is needed to grow the Jet 3 databases" >&2; exit 1; }

echo "Jet 3 conversion beside Jet 4 compaction (median of ${runs}; seconds per MB of input):"
for name in testV delTestV indexTestV compIndexTestV overflowTestV; do
  cp "$fixtures/jet3/${name}1997.mdb" "$work/jet3.mdb"
  cp "$fixtures/jet4/${name}2000.mdb" "$work/jet4.mdb"
  read -r took3 _ < <(median_compaction "$work/jet3.mdb")
  read -r took4 _ < <(median_compaction "$work/jet4.mdb")
  printf '  %-16s %4d KB: %s s; Jet 4 twin %4d KB: %s s\n' "$name" \
    $(( $(stat -c %s "$work/jet3.mdb") / 1024 )) "$took3" $(( $(stat -c %s "$work/jet4.mdb") / 1024 )) "$took4"
done
for pair in "25 frag-small" "131 frag-large"; do
  read -r size generated_name <<< "$pair"
  node "$root/bench/grow_jet3.mjs" "$fixtures/jet3/testIndexCodesV1997.mdb" "$work/grown3.mdb" "$size" > /dev/null
  bytes3=$(stat -c %s "$work/grown3.mdb")
  read -r took3 peak3 < <(median_compaction "$work/grown3.mdb")
  mv "$work/compacted.mdb" "$work/grown4.mdb"
  read -r took4 peak4 < <(median_compaction "$work/grown4.mdb")
  [ -f "$work/$generated_name.mdb" ] || unpack_generated "$generated_name"
  read -r took_generated _ < <(median_compaction "$work/$generated_name.mdb")
  s3=$(per_mb "$took3" "$bytes3")
  s4=$(per_mb "$took4" "$(stat -c %s "$work/grown4.mdb")")
  sg=$(per_mb "$took_generated" "$(stat -c %s "$work/$generated_name.mdb")")
  echo "  Jet 3, $(( bytes3 / 1048576 )) MB: ${took3} s, ${s3} s/MB, peak RSS ${peak3} KB"
  echo "    its Jet 4 copy compacted: ${took4} s, ${s4} s/MB, peak RSS ${peak4} KB ($(ratio "$s3" "$s4")x per MB)"
  echo "    ${generated_name} compacted: ${took_generated} s, ${sg} s/MB ($(ratio "$s3" "$sg")x per MB)"
  rm -f "$work/grown3.mdb" "$work/grown4.mdb"
done
