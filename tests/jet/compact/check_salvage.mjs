// Each data page of a user table in a database zeroed in turn: the compaction must refuse the
// file, naming the table and the page, and leave it unchanged; asked to salvage, its copy must
// hold exactly the rows of the other pages and list the loss in MSysCompactError.
//   node check_salvage.mjs <vintrel-jet-compact> <fixture.mdb>
// What "the rows of the other pages" are is told by mdb-reader, independently of our reader:
// it reads the undamaged file with the zeroed page's rows marked deleted (and the pointers of
// moved rows that lead there), which is what the copy should hold, table by table, as multisets
// of rows. Exits 0 when every page passes, 1 with the first failure.
import { execFileSync, spawnSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

const { default: MDBReader } = await import(new URL("../oracle/lib/mdb_reader.mjs", import.meta.url));

const [compact, fixture] = process.argv.slice(2);
const PAGE = 4096;
const ROW_COUNT = 12, ROW_OFFSETS = 14, OWNER = 4;
const DELETED = 0x8000, MOVED = 0x4000;

const sound = readFileSync(fixture);
const u16 = (bytes, at) => bytes.readUInt16LE(at);
const pages = sound.length / PAGE;

// User tables by definition page, from mdb-reader's catalog.
const userTables = new Map();
for (const entry of new MDBReader(sound).getTable("MSysObjects").getData({ columns: ["Id", "Name", "Type", "Flags"] })) {
  if ((entry.Type & 0x7f) === 1 && entry.Flags === 0 && !entry.Name.startsWith("MSys")) {
    userTables.set(entry.Id & 0xffffff, entry.Name);
  }
}

function dataPagesOf(table) {
  const found = [];
  for (let page = 1; page < pages; ++page) {
    if (sound[page * PAGE] === 0x01 && sound.readUInt32LE(page * PAGE + OWNER) === table) found.push(page);
  }
  return found;
}

// The sound file with the rows of `page` marked deleted. A moved row is two slots: the one
// holding its pointer (flag 0x4000 alone, which mdb-reader passes over as it passes over
// deleted rows) and the one it was moved to (flag 0x8000 alone, which mdb-reader reads as a
// row where it stands). Its pointer lost, the row is lost wherever it was moved to.
function withoutRowsOf(page) {
  const bytes = Buffer.from(sound);
  const offsetAt = (p, r) => p * PAGE + ROW_OFFSETS + 2 * r;
  const remove = (p, r) => bytes.writeUInt16LE(u16(bytes, offsetAt(p, r)) | DELETED | MOVED, offsetAt(p, r));
  for (let r = 0; r < u16(bytes, page * PAGE + ROW_COUNT); ++r) {
    const offset = u16(bytes, offsetAt(page, r));
    if ((offset & (DELETED | MOVED)) === MOVED) {
      const to = bytes.readUInt32LE(page * PAGE + (offset & 0x1fff));
      remove(to >>> 8, to & 0xff);
    }
    remove(page, r);
  }
  return bytes;
}

function userRows(bytes) {
  const reader = new MDBReader(bytes);
  const tables = {};
  for (const name of userTables.values()) {
    tables[name] = reader.getTable(name).getData().map((row) =>
      JSON.stringify(row, (key, value) => (value && value.type === "Buffer" ? Buffer.from(value.data).toString("hex") : value))).sort();
  }
  return tables;
}

function fail(message) {
  console.error(message);
  process.exit(1);
}

const scratch = mkdtempSync(join(tmpdir(), "vintrel-salvage-"));
let checked = 0;
try {
  for (const [table, name] of userTables) {
    const tablePages = dataPagesOf(table);
    for (const page of tablePages) {
      const where = `${name}, page ${page}`;
      const damaged = Buffer.from(sound);
      damaged.fill(0, page * PAGE, (page + 1) * PAGE);
      const source = join(scratch, "damaged.mdb"), copy = join(scratch, "copy.mdb");
      writeFileSync(source, damaged);
      rmSync(copy, { force: true });
      const refused = spawnSync(compact, [source, copy], { encoding: "utf8" });
      if (refused.status !== 1) fail(`${where}: compacted without salvaging (${refused.status})`);
      // A moved row whose pointer stays on another page is named at its pointer's place.
      if (!refused.stderr.includes(`'${source}' is damaged: table ${name}, `) || !refused.stderr.includes(`page ${page}`)) {
        fail(`${where}: the refusal does not name the file, the table and the page: ${refused.stderr}`);
      }
      if (!readFileSync(source).equals(damaged)) fail(`${where}: the refused source changed`);
      execFileSync(compact, ["--salvage", source, copy], { stdio: ["ignore", "ignore", "pipe"] });
      const expected = userRows(withoutRowsOf(page));
      const salvaged = userRows(readFileSync(copy));
      for (const table of Object.keys(expected)) {
        if (JSON.stringify(expected[table]) !== JSON.stringify(salvaged[table])) {
          fail(`${where}: table ${table} holds ${salvaged[table].length} rows where ${expected[table].length} were expected`);
        }
      }
      const losses = new MDBReader(readFileSync(copy)).getTable("MSysCompactError").getData();
      if (!losses.some((loss) => loss.ErrorTable === name && loss.ErrorPage === page)) {
        fail(`${where}: MSysCompactError does not list the page: ${JSON.stringify(losses)}`);
      }
      ++checked;
    }
  }
} finally {
  rmSync(scratch, { recursive: true, force: true });
}
console.log(`${checked} data pages zeroed in turn: each refused, then salvaged with the other pages' rows`);
if (checked === 0) fail("no data page of a user table was found");
