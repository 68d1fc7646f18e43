// Prints the canonical dump of a Jet database as mdb-reader (and, for tables it refuses,
// mdb-export and the raw page decoder) read it.  Usage: node dump.mjs <file.mdb>
import { readerDump } from "./lib/reader_dump.mjs";
import { formatDump } from "./lib/canonical_json.mjs";

if (process.argv.length !== 3) {
  process.stderr.write("usage: node dump.mjs <file.mdb>\n");
  process.exit(2);
}
try {
  process.stdout.write(formatDump(readerDump(process.argv[2])));
} catch (error) {
  process.stderr.write(`${error.message}\n`);
  process.exit(1);
}
