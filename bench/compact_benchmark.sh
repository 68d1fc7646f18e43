#!/usr/bin/env bash
# Compacts the three generated databases (frag-small, clean-medium, frag-large, unpacked) two
# ways: with the bare tool vintrel-jet-compact, and through vintrel-console, whose pass also
# deletes the database, gives the copy its name and flushes the directory. Each is set beside
# the physical limit for reading and writing the file's bytes, cp of the same file followed by
# sync of its copy (the compaction flushes its own), timed in the same run: every run times
# the three in turn and takes the ratios of that run, so that drift of the machine's speed
# cancels; the medians of RUNS runs (default 9) are printed, with the compaction's CPU time
# (user + system) and its peak RSS (the largest of the runs). The copy runs on one thread,
# so there is one line per size. Last, Jet 3 conversions beside Jet 4 compactions: each Jet 3
# fixture beside its Jet 4 twin (files this small mostly time the program's start), and Jet 3
# databases grown to the sizes of frag-small and frag-large (bench/grow_jet3.mjs), each
# beside the compaction of its own Jet 4 copy (the same content) and of the generated file of
# its size, per megabyte of input.
# Usage: bench/compact_benchmark.sh [build-dir]   (default build/default, built if needed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
runs=${RUNS:-9}
. "$root/bench/frag_large.sh" vintrel-jet-compact
cmake --build "$build" --target vintrel-console >/dev/null
compact="$build/tools/jet/vintrel-jet-compact"
console="$build/src/app/vintrel-console"

# The median of the numbers on standard input.
median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# Runs the command "$@"; prints "<wall s> <CPU s> <peak RSS in KB>" (bash's clock, in
# milliseconds, and the peak that /usr/bin/time reads).
measured() {
  local TIMEFORMAT='%3R %3U %3S' times wall user sys
  times=$( { time /usr/bin/time -f '%M' -o "$work/peak" "$@" > "$work/out" 2>&1; } 2>&1 ) ||
    { cat "$work/out" >&2; exit 1; }
  read -r wall user sys <<< "$times"
  echo "$wall $(awk -v u="$user" -v s="$sys" 'BEGIN {printf "%.3f", u + s}') $(cat "$work/peak")"
}

# cp of $1 and sync of its copy; prints the seconds.
copied_and_flushed() {
  local TIMEFORMAT='%3R' took
  rm -f "$work/cp.mdb"
  took=$( { time { cp "$1" "$work/cp.mdb" && sync "$work/cp.mdb"; }; } 2>&1 )
  rm "$work/cp.mdb"
  echo "$took"
}

# Compacts $1 into $work/compacted.mdb (replaced) once with the bare tool; prints what
# `measured` prints.
compact_once() {
  rm -f "$work/compacted.mdb"
  measured "$compact" "$1" "$work/compacted.mdb"
}

# A whole console pass over a folder holding $1 as lift.mdb, copied there (and flushed)
# before the clock starts; prints what `measured` prints.
pass_once() {
  rm -rf "$work/pass"
  mkdir "$work/pass"
  cp "$1" "$work/pass/lift.mdb"
  sync "$work/pass/lift.mdb"
  measured "$console" -C "$work/pass"
  closer_gone "$work/pass/lift.mdb"
}

# Waits for no process to hold $1 deleted: the pass leaves the last close of the database it
# deleted, which frees the file's blocks, to a process nobody waits for, and that work must
# not slow whatever is timed next.
closer_gone() {
  local held
  while held=$(ls -l /proc/[0-9]*/fd 2> /dev/null || true); [[ $held == *"$1 (deleted)"* ]]; do sleep 0.01; done
}

# The median of column $1 of $work/sized, and its largest value in KB as MB.
middle() { awk -v c="$1" '{print $c}' "$work/sized" | median; }
largest() { awk -v c="$1" '{print $c}' "$work/sized" | sort -n | tail -1 | awk '{printf "%.1f", $1 / 1024}'; }

echo "compaction ÷ (cp + sync of the same file), medians of ${runs} paired runs; CPU s, peak RSS MB"
printf '  %-13s %5s %10s | %-26s | %-26s\n' "" "MB" "cp+sync s" "vintrel-jet-compact" "vintrel-console pass"
for name in frag-small clean-medium frag-large; do
  [ -f "$work/$name.mdb" ] || unpack_generated "$name"
  cat "$work/$name.mdb" > /dev/null
  : > "$work/sized"
  for _ in $(seq "$runs"); do
    reference=$(copied_and_flushed "$work/$name.mdb")
    tool=$(compact_once "$work/$name.mdb")
    pass=$(pass_once "$work/$name.mdb")
    read -r tool_s tool_cpu tool_peak <<< "$tool"
    read -r pass_s pass_cpu pass_peak <<< "$pass"
    echo "$reference $tool_s $tool_cpu $tool_peak $pass_s $pass_cpu $pass_peak" \
      "$(ratio "$tool_s" "$reference") $(ratio "$pass_s" "$reference")" >> "$work/sized"
  done
  printf '  %-13s %5d %10s | %5sx %6s s %5s %6s | %5sx %6s s %5s %6s\n' "$name" \
    $(( $(stat -c %s "$work/$name.mdb") / 1048576 )) "$(middle 1)" \
    "$(middle 8)" "$(middle 2)" "$(middle 3)" "$(largest 4)" \
    "$(middle 9)" "$(middle 5)" "$(middle 6)" "$(largest 7)"
done
rm -rf "$work/pass"

# Prints the median seconds of $runs compactions of $1 (a copy in $work), and the peak RSS.
median_compaction() {
  : > "$work/sized"
  for _ in $(seq "$runs"); do compact_once "$1" >> "$work/sized"; done
  echo "$(awk '{print $1}' "$work/sized" | median) $(awk '{print $3}' "$work/sized" | sort -n | tail -1)"
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
  read -r took_generated _ < <(median_compaction "$work/$generated_name.mdb")
  s3=$(per_mb "$took3" "$bytes3")
  s4=$(per_mb "$took4" "$(stat -c %s "$work/grown4.mdb")")
  sg=$(per_mb "$took_generated" "$(stat -c %s "$work/$generated_name.mdb")")
  echo "  Jet 3, $(( bytes3 / 1048576 )) MB: ${took3} s, ${s3} s/MB, peak RSS ${peak3} KB"
  echo "    its Jet 4 copy compacted: ${took4} s, ${s4} s/MB, peak RSS ${peak4} KB ($(ratio "$s3" "$s4")x per MB)"
  echo "    ${generated_name} compacted: ${took_generated} s, ${sg} s/MB ($(ratio "$s3" "$sg")x per MB)"
  rm -f "$work/grown3.mdb" "$work/grown4.mdb"
done
