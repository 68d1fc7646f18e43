#!/bin/sh
# Compacts one fixture database (unpacking a .mdb.gz first) into a scratch directory, then
# checks: the integrity check passes on the source, Jet 3 or Jet 4 (which Jet or another
# library wrote; what Jet leaves behind are notes) and, without notes, on the copy; both independent readers and
# our own read the same content from the copy as from the source (compare_copy.mjs); the
# copy is no larger than the source (a Jet 3 source's Jet 4 copy has pages twice the size);
# compacting the copy again gives the same bytes; and a Jet 4 source whose index pages are all
# zeroed is repaired into a copy with the same content.
#   check_copy.sh <vintrel-jet-compact> <vintrel-jet-check> <vintrel-jet> <node> <fixture>
set -eu
compact=$1 check=$2 dump=$3 node=$4 fixture=$5
[ -f "$fixture" ] || { echo "fixture $fixture is absent"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A private copy of the source: a compaction locks its source, and tests run in parallel.
source=$scratch/source.mdb
case $fixture in
  *.gz) gunzip -c "$fixture" >"$source" ;;
  *) cp "$fixture" "$source" ;;
esac
version=$(od -An -tu1 -j20 -N1 "$source" | tr -d ' ')
"$check" "$source"
"$compact" "$source" "$scratch/copy.mdb"
# A copy is held to more than Jet's files: none of what Jet leaves behind either.
copy_check=$("$check" "$scratch/copy.mdb")
echo "$copy_check"
case $copy_check in *"note: "*) echo "the copy has what only Jet leaves behind"; exit 1 ;; esac
"$node" "$(dirname "$0")/compare_copy.mjs" "$source" "$scratch/copy.mdb" "$dump"
source_size=$(wc -c <"$source")
copy_size=$(wc -c <"$scratch/copy.mdb")
echo "source $source_size bytes, copy $copy_size bytes"
if [ "$version" != 0 ] && [ "$copy_size" -gt "$source_size" ]; then
  echo "the copy is larger than the source"; exit 1
fi
"$compact" "$scratch/copy.mdb" "$scratch/again.mdb" >/dev/null
cmp "$scratch/copy.mdb" "$scratch/again.mdb" || { echo "compacting the copy again changes it"; exit 1; }
# A Jet 4 source with every index page zeroed: the compaction builds each index anew from the
# rows' keys, and the readers find the source's content in the repaired copy too.
[ "$version" = 1 ] || exit 0
"$node" -e '
  const fs = require("fs");
  const bytes = fs.readFileSync(process.argv[1]);
  for (let at = 4096; at < bytes.length; at += 4096) if (bytes[at] === 3 || bytes[at] === 4) bytes.fill(0, at, at + 4096);
  fs.writeFileSync(process.argv[2], bytes);' "$source" "$scratch/no-indexes.mdb"
"$compact" "$scratch/no-indexes.mdb" "$scratch/repaired.mdb" >/dev/null
case $("$check" "$scratch/repaired.mdb") in *"note: "*) echo "the repaired copy has notes"; exit 1 ;; esac
"$node" "$(dirname "$0")/compare_copy.mjs" "$source" "$scratch/repaired.mdb" "$dump"
