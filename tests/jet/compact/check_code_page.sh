#!/bin/sh
# Converts a Jet 3 fixture as if it had been made on a system with another code page (the
# header's code page replaced, every text byte read in that code page), then checks that the
# integrity check finds the copy sound and that mdbtools, told the code page, exports every
# user table of the source as it exports the Jet 4 copy. mdb-export writes "?" for a byte the
# code page leaves undefined, which the copy holds as the C1 control Windows reads it as.
#   check_code_page.sh <vintrel-jet-compact> <vintrel-jet-check> <node> <fixture> <code page>
set -eu
compact=$1 check=$2 node=$3 fixture=$4 code_page=$5
[ -f "$fixture" ] || { echo "fixture $fixture is absent"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
raw_pages="$(dirname "$0")/../oracle/lib/raw_pages.mjs"
"$node" --input-type=module -e "
  import { readFileSync, writeFileSync } from 'node:fs';
  const { RawDatabase } = await import('$raw_pages');
  writeFileSync('$scratch/source.mdb', new RawDatabase(readFileSync('$fixture')).withCodePage($code_page));"
"$compact" "$scratch/source.mdb" "$scratch/copy.mdb"
copy_check=$("$check" "$scratch/copy.mdb")
echo "$copy_check"
case $copy_check in *"note: "*) echo "the copy has what only Jet leaves behind"; exit 1 ;; esac
c1=$(printf '\302[\200-\237]')
status=0
for table in $(mdb-tables -1 "$scratch/source.mdb"); do
  MDB_JET3_CHARSET=CP$code_page mdb-export -D "%F %T" "$scratch/source.mdb" "$table" | sort >"$scratch/source.csv"
  mdb-export -D "%F %T" "$scratch/copy.mdb" "$table" | LC_ALL=C sed "s/$c1/?/g" | sort >"$scratch/copy.csv"
  cmp -s "$scratch/source.csv" "$scratch/copy.csv" || { echo "mdb-export of $table differs"; status=1; }
done
[ "$status" = 0 ] && echo "every user table reads alike in code page $code_page"
exit $status
