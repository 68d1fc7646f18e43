// Builds the canonical dump of a database as mdb-reader reads it. A table that mdb-reader refuses
// (a column type it does not know) keeps its place and its column list, read by the raw page
// decoder, and carries the reason in "refused" and, instead of rows, "byColumn": value lists per
// column from other sources (column_by_column.mjs). Jet 3 tables carry "byColumn" beside their
// rows for their text columns.
import MDBReader from "mdb-reader";
import { readFileSync } from "node:fs";
import { RawDatabase } from "./raw_pages.mjs";
import { jet3TextValues, refusedTableValues } from "./column_by_column.mjs";
import { canonicalValue, typeNameOfCode, typeNameOfReaderType } from "./normalise.mjs";

const CATALOG_TABLE = 1;
const WINDOWS_LATIN_1 = 1252;
const UNKNOWN_TYPE_REFUSAL = "Unsupported column type";

function byCodeUnits(a, b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

function catalogTablePages(reader) {
  const pages = new Map();
  for (const entry of reader.getTable("MSysObjects").getData({ columns: ["Id", "Name", "Type"] })) {
    if ((entry.Type & 0x7f) === CATALOG_TABLE) pages.set(entry.Name, entry.Id & 0xffffff);
  }
  return pages;
}

function readTable(file, reader, raw, name, firstPage) {
  try {
    const table = reader.getTable(name);
    const columns = table.getColumns().map((c) => ({ name: c.name, type: typeNameOfReaderType(c.type) }));
    const rows = table.getData().map((record) =>
      columns.map((c) => canonicalValue("mdb-reader", c.type, record[c.name])));
    if (raw.format !== "jet3") return { columns, rows };
    return { columns, rows, byColumn: jet3TextValues(raw, raw.tableDefinition(firstPage)) };
  } catch (error) {
    if (error.message !== UNKNOWN_TYPE_REFUSAL) throw error;
    const def = raw.tableDefinition(firstPage);
    const columns = def.columns.map((c) => ({ name: c.name, type: typeNameOfCode(c.typeCode) }));
    return { columns, refused: `mdb-reader: ${error.message}`, byColumn: refusedTableValues(file, raw, def, name, columns) };
  }
}

export function readerDump(file) {
  const bytes = readFileSync(file);
  // mdb-reader negates negative currency values in place in the buffer it is given, so it gets
  // a copy and the raw page decoder reads the file's own bytes.
  const reader = new MDBReader(Buffer.from(bytes));
  const raw = new RawDatabase(bytes);
  const codePage = raw.codePage();
  if (raw.format === "jet3" && codePage !== WINDOWS_LATIN_1) {
    throw new Error(`mdb-reader decodes Jet 3 text as code page 1252 only, this file has code page ${codePage}`);
  }
  const flagged = new Set(reader.getTableNames({ normalTables: false, systemTables: true }));
  const pages = catalogTablePages(reader);
  const names = reader.getTableNames({ normalTables: true, systemTables: true }).sort(byCodeUnits);
  const tables = names.map((name) => ({
    name,
    system: name.startsWith("MSys") || flagged.has(name),
    ...readTable(file, reader, raw, name, pages.get(name)),
  }));
  return { format: raw.format, codePage, tables };
}

// Our dump with Jet 3 text in the form mdb-reader's can be compared with (normalisation 6).
export function comparableWithReader(ours) {
  if (ours.format !== "jet3") return ours;
  const tables = ours.tables.map((t) => ({
    ...t,
    rows: t.rows.map((row) => row.map((v, i) => canonicalValue("cp1252-decoded", t.columns[i].type, v))),
  }));
  return { ...ours, tables };
}
