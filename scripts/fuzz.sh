#!/usr/bin/env bash
# Fuzzes the Jet reader and compaction for the given number of seconds (default 60), seeded
# with the Jet 3 and Jet 4 databases of the fixture corpus. Builds the fuzz preset first. A finding stops
# the run with a non-zero status and leaves its input in the current directory.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
fixtures="$root/../shared/fixtures"
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target jet_reader_fuzzer

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
# Small databases make fast seeds; the larger ones add little coverage per second.
if [ -d "$fixtures" ]; then
  find "$fixtures/jet3" "$fixtures/jet4" -name '*.mdb' -size -320k -exec cp {} "$corpus" \;
fi

"$root/build/fuzz/fuzz/jet_reader_fuzzer" "$corpus" \
  -max_total_time="$seconds" -max_len=327680 -timeout=30 -rss_limit_mb=2048 \
  -print_final_stats=1
