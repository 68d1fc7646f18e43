# Shared by the benchmarks: sourced after `root` and `build` are set. Checks the tools, builds
# the target named in $1, unpacks generated/frag-large.mdb.gz into a temporary `work`
# directory (removed on exit) as `file`, sets `megabytes`, and warms the page cache so that
# every contender starts alike. `unpack_generated NAME` unpacks the other generated files.
generated="$root/../shared/fixtures/generated"
for name in frag-small clean-medium frag-large; do
  [ -f "$generated/$name.mdb.gz" ] || { echo "missing $generated/$name.mdb.gz" >&2; exit 1; }
done
command -v mdb-export >/dev/null || { echo "mdb-export (mdbtools) is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time (package time) is not installed" >&2; exit 1; }

[ -f "$build/build.ninja" ] || cmake --preset default -B "$build" >/dev/null
cmake --build "$build" --target "$1" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Unpacks generated/$1.mdb.gz as $work/$1.mdb.
unpack_generated() {
  gzip -dc "$generated/$1.mdb.gz" > "$work/$1.mdb"
}
unpack_generated frag-large
file="$work/frag-large.mdb"
megabytes=$(( $(stat -c %s "$file") / 1048576 ))
cat "$file" > /dev/null

# Seconds between two `date +%s%N` readings.
seconds() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", (b - a) / 1e9}'; }
# Megabytes of the input per second.
rate() { awk -v m="$megabytes" -v s="$1" 'BEGIN {printf "%.1f", m / s}'; }

# Exports every table, system tables included, with mdb-export; sets `export_time` and
# `export_rows` (CSV lines without headers).
export_all_tables() {
  local start table n
  start=$(date +%s%N)
  export_rows=0
  while IFS= read -r table; do
    [ -n "$table" ] || continue
    n=$(mdb-export -b raw "$file" "$table" | wc -l)
    export_rows=$((export_rows + n - 1))
  done < <(mdb-tables -S -1 "$file")
  export_time=$(seconds "$start" "$(date +%s%N)")
}
