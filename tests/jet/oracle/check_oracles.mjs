// Checks the two sources that stand in for mdb-reader on the tables it refuses (see
// lib/column_by_column.mjs) against mdb-reader itself, on every table that mdb-reader does read:
//  - the raw page decoder: the same columns in the same order, the same number of live rows, and
//    the same rows when each value is reduced to what the decoder can tell by itself (null or
//    not, booleans, numbers, text, binary bytes; long values only as present). The dates check
//    that mdb-reader's rounding to milliseconds gives what the canonical rule (stored days
//    times 86 400 000, rounded half away from zero) gives;
//  - mdb-export: the same values, column by column, for every type taken from it.
//   node check_oracles.mjs <fixtures folder>     exits 0, 1, or 77 when the folder is absent
import { existsSync, readdirSync, readFileSync } from "node:fs";
import { join } from "node:path";
import MDBReader from "mdb-reader";
import { RawDatabase } from "./lib/raw_pages.mjs";
import { canonicalValue, typeNameOfCode, typeNameOfReaderType } from "./lib/normalise.mjs";
import { sortedValues } from "./lib/column_by_column.mjs";
import { mdbExport } from "./lib/mdbtools.mjs";
import { readerDump } from "./lib/reader_dump.mjs";

const EXIT_SKIP = 77;
const FOLDERS = ["jet4", "jet3"];
const EXPORT_TYPES = new Set(["boolean", "byte", "integer", "long", "currency", "numeric"]);
const MS_PER_DAY = 86400000;
const DAYS_1899_12_30_TO_1970_01_01 = 25569;

function fromReader(type, value) {
  if (value === null || type === "boolean") return value;
  if (["byte", "integer", "long", "text", "currency"].includes(type)) return value;
  if (type === "float" || type === "double") return String(value);
  if (type === "datetime") return value.getTime();
  if (type === "binary") return value.toString("hex");
  return "present";
}

function currencyText(bytes) {
  const units = bytes.readBigInt64LE(0);
  const magnitude = units < 0n ? -units : units;
  const fraction = String(magnitude % 10000n).padStart(4, "0");
  return `${units < 0n ? "-" : ""}${magnitude / 10000n}.${fraction}`;
}

function epochMilliseconds(bytes) {
  const scaled = bytes.readDoubleLE(0) * MS_PER_DAY;
  const rounded = Math.sign(scaled) * Math.round(Math.abs(scaled));
  return rounded - DAYS_1899_12_30_TO_1970_01_01 * MS_PER_DAY;
}

// Jet 4 text that starts with FF FE is compressed: single bytes are characters below U+0100,
// and each 00 byte switches between that and plain two-byte UCS-2.
function jet4Text(bytes) {
  if (bytes.length < 2 || bytes[0] !== 0xff || bytes[1] !== 0xfe) return bytes.toString("utf16le");
  let text = "";
  let single = true;
  for (let i = 2; i < bytes.length;) {
    if (bytes[i] === 0) { single = !single; i++; }
    else if (single) text += String.fromCharCode(bytes[i++]);
    else if (i + 1 < bytes.length) { text += String.fromCharCode(bytes.readUInt16LE(i)); i += 2; }
    else break;
  }
  return text;
}

function fromRaw(raw, type, bytes) {
  if (bytes === null || type === "boolean") return bytes;
  if (type === "byte") return bytes.readUInt8(0);
  if (type === "integer") return bytes.readInt16LE(0);
  if (type === "long") return bytes.readInt32LE(0);
  if (type === "currency") return currencyText(bytes);
  if (type === "float") return String(bytes.readFloatLE(0));
  if (type === "double") return String(bytes.readDoubleLE(0));
  if (type === "datetime") return epochMilliseconds(bytes);
  if (type === "binary") return bytes.toString("hex");
  if (type === "text") {
    return raw.format === "jet4" ? jet4Text(bytes) : canonicalValue("cp1252-decoded", type, raw.decodeText(bytes));
  }
  return "present";
}

function checkRawDecoder(file) {
  const bytes = readFileSync(file);
  const reader = new MDBReader(Buffer.from(bytes)); // a copy: see lib/reader_dump.mjs
  const raw = new RawDatabase(bytes);
  const firstPages = new Map();
  for (const entry of reader.getTable("MSysObjects").getData({ columns: ["Id", "Name", "Type"] })) {
    if ((entry.Type & 0x7f) === 1) firstPages.set(entry.Name, entry.Id & 0xffffff);
  }
  const problems = [];
  let checked = 0;
  for (const name of reader.getTableNames({ systemTables: true })) {
    let table;
    try {
      table = reader.getTable(name);
      table.getColumns();
    } catch {
      continue; // refused by mdb-reader: nothing to check the decoder against
    }
    const def = raw.tableDefinition(firstPages.get(name));
    const columns = table.getColumns().map((c) => `${c.name}:${typeNameOfReaderType(c.type)}`).join(", ");
    const rawColumns = def.columns.map((c) => `${c.name}:${typeNameOfCode(c.typeCode)}`).join(", ");
    if (columns !== rawColumns) {
      problems.push(`${file} table ${name}: mdb-reader columns ${columns}, raw decoder ${rawColumns}`);
      continue;
    }
    const types = def.columns.map((c) => typeNameOfCode(c.typeCode));
    const names = table.getColumns().map((c) => c.name);
    const expected = sortedValues(table.getData().map((r) => names.map((n, i) => fromReader(types[i], r[n]))));
    const actual = sortedValues([...raw.rows(def)].map((r) => r.map((v, i) => fromRaw(raw, types[i], v))));
    if (JSON.stringify(expected) !== JSON.stringify(actual)) {
      problems.push(`${file} table ${name}: mdb-reader reads ${expected.length} rows, the raw decoder ` +
        `${actual.length}, or their values differ`);
    }
    checked++;
  }
  return { problems, checked };
}

function checkExport(file) {
  const problems = [];
  let checked = 0;
  for (const table of readerDump(file).tables.filter((t) => !t.refused)) {
    const exported = mdbExport(file, table.name);
    table.columns.forEach((column, i) => {
      if (!EXPORT_TYPES.has(column.type)) return;
      const at = exported.columns.indexOf(column.name);
      const expected = sortedValues(table.rows.map((row) => row[i]));
      const actual = sortedValues(exported.rows.map((row) => canonicalValue("mdb-export", column.type, row[at])));
      if (JSON.stringify(expected) !== JSON.stringify(actual)) {
        problems.push(`${file} table ${table.name} column ${column.name}: mdb-export's values differ from mdb-reader's`);
      }
    });
    checked++;
  }
  return { problems, checked };
}

const folder = process.argv[2];
if (!folder || !existsSync(folder)) {
  console.log(`skipped: fixtures folder ${folder} is absent`);
  process.exit(EXIT_SKIP);
}
let problems = [];
const checked = { raw: 0, export: 0 };
for (const sub of FOLDERS) {
  for (const name of readdirSync(join(folder, sub)).filter((n) => n.endsWith(".mdb")).sort()) {
    const file = join(folder, sub, name);
    const raw = checkRawDecoder(file);
    const exported = checkExport(file);
    problems = problems.concat(raw.problems, exported.problems);
    checked.raw += raw.checked;
    checked.export += exported.checked;
  }
}
for (const p of problems) console.log(`- ${p}`);
console.log(`checked against mdb-reader: the raw page decoder on ${checked.raw} tables, mdb-export on ` +
  `${checked.export} tables; ${problems.length} disagreements`);
process.exit(problems.length === 0 ? 0 : 1);
