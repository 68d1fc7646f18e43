// Compares `vintrel-jet dump` of one database with an independent reader.
//   node compare.mjs mdb-reader <vintrel-jet> <file.mdb>   values of every table and row
//   node compare.mjs mdbtools <vintrel-jet> <file.mdb>     format, table list and column lists
// A file named *.mdb.gz is unpacked into a temporary folder first (and removed after).
// Exits 0 when they agree, 1 with a list of disagreements, 77 when the file is absent.
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { basename, join } from "node:path";
import { fileURLToPath } from "node:url";
import { gunzipSync } from "node:zlib";

const EXIT_SKIP = 77;
if (!existsSync(fileURLToPath(new URL("node_modules/mdb-reader/package.json", import.meta.url)))) {
  console.log("mdb-reader is not installed in tests/jet/oracle: run scripts/install-deps.sh");
  process.exit(1);
}
const { toolDump } = await import("./lib/tool_dump.mjs");
const { comparableWithReader, readerDump } = await import("./lib/reader_dump.mjs");
const { compareByColumn, compareDumps } = await import("./lib/compare_dumps.mjs");
const { compareWithMdbtools } = await import("./lib/mdbtools_schema.mjs");
const PROBLEMS_SHOWN = 40;

const ORACLES = {
  "mdb-reader": (file, ours) => {
    const theirs = readerDump(file);
    return [...compareDumps(comparableWithReader(ours), theirs, "mdb-reader"), ...compareByColumn(ours, theirs)];
  },
  "mdbtools": (file, ours) => compareWithMdbtools(file, ours),
};

function main([oracle, tool, given]) {
  if (!ORACLES[oracle] || !tool || !given) {
    console.error("usage: node compare.mjs mdb-reader|mdbtools <vintrel-jet> <file.mdb>");
    return 2;
  }
  if (!existsSync(given)) {
    console.log(`skipped: fixture ${given} is absent (the shared fixtures folder is not beside the checkout)`);
    return EXIT_SKIP;
  }
  if (!given.endsWith(".gz")) return compare(oracle, tool, given);
  const folder = mkdtempSync(join(tmpdir(), "vintrel-oracle-"));
  try {
    const file = join(folder, basename(given, ".gz"));
    writeFileSync(file, gunzipSync(readFileSync(given)));
    return compare(oracle, tool, file);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
}

function compare(oracle, tool, file) {
  const { doc, problems: formProblems } = toolDump(tool, file);
  const problems = [...formProblems, ...ORACLES[oracle](file, doc)];
  if (problems.length === 0) {
    console.log(`${file}: vintrel-jet agrees with ${oracle} on ${doc.tables.length} tables`);
    return 0;
  }
  console.log(`${file}: vintrel-jet disagrees with ${oracle}:`);
  for (const p of problems.slice(0, PROBLEMS_SHOWN)) console.log(`- ${p}`);
  if (problems.length > PROBLEMS_SHOWN) console.log(`... and ${problems.length - PROBLEMS_SHOWN} more`);
  return 1;
}

try {
  process.exitCode = main(process.argv.slice(2));
} catch (error) {
  console.log(`${process.argv[4]}: cannot compare: ${error.message}`);
  process.exitCode = 1;
}
