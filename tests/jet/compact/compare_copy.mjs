// Checks a compacted copy against its source with the independent readers: mdb-reader
// (every table, column and row), mdbtools' mdb-tables, mdb-schema, mdb-export and mdb-prop;
// and, given the tool, with our own reader's canonical dump (`vintrel-jet dump`).
//   node compare_copy.mjs <source.mdb> <copy.mdb> [vintrel-jet]
// Rows are compared as multisets, since the copy stores them in primary-key order. The copy
// renumbers tables (their ids are their definition pages), so on both sides every value of a
// column that holds catalog object ids (found from the source's values, not from the copy's
// own list) is replaced by the path of names of the object it names, or by a mark when it
// names none, before comparing. A Jet 3 source's copy is Jet 4:
// its text, exact in UTF-16, is compared with the source's as the raw page decoder reads it,
// and, with the five characters code page 1252 leaves undefined masked as the oracles read
// them from the source, with mdb-reader's and mdb-export's. Exits 0 when all agree, 1 with
// the differences.
import { execFileSync } from "node:child_process";

const oracle = new URL("../oracle/lib/", import.meta.url);
const { readerDump } = await import(new URL("reader_dump.mjs", oracle));
const { toolDump } = await import(new URL("tool_dump.mjs", oracle));
const { canonicalValue } = await import(new URL("normalise.mjs", oracle));
const { sortedValues } = await import(new URL("column_by_column.mjs", oracle));

// The values that name no object by design: 0 (none) and 0x0F000000, the catalog's root,
// parent of the top-level containers.
const NO_OBJECT = new Set([0, 0x0f000000]);
const NAMES_NOTHING = "(names no object)";

// Each catalog object's names from the top of the catalog down, by id.
function objectPaths(dump) {
  const catalog = dump.tables.find((t) => t.name === "MSysObjects");
  const column = (name) => catalog.columns.findIndex((c) => c.name === name);
  const [id, parent, name] = [column("Id"), column("ParentId"), column("Name")];
  const objects = new Map(catalog.rows.map((row) => [row[id], row]));
  const paths = new Map();
  for (const start of objects.keys()) {
    const names = [];
    for (let at = start, seen = new Set(); objects.has(at) && !seen.has(at); at = objects.get(at)[parent]) {
      seen.add(at);
      names.unshift(objects.get(at)[name]);
    }
    paths.set(start, names.join("/"));
  }
  return paths;
}

// The Long columns of system tables that hold object ids, found in the source: those whose
// values are MSysObjects.Id values, but for those that name no object by design and a few
// stale ones (at most one in ten). Counters meet ids only here and there; one whose values all
// meet objects is taken too, which changes nothing unless those objects' ids change. As
// "table.column" names.
function idColumns(dump) {
  const ids = objectPaths(dump);
  const found = new Set();
  for (const table of dump.tables) {
    if (!(table.system || table.name.startsWith("MSys")) || !table.rows) continue;
    table.columns.forEach((column, c) => {
      if (column.type !== "long") return;
      const values = table.rows.map((row) => row[c]).filter((v) => v !== null && !NO_OBJECT.has(v));
      const named = values.filter((v) => ids.has(v)).length;
      if (named > 0 && named * 10 >= values.length * 9) found.add(`${table.name}.${column.name}`);
    });
  }
  return found;
}

// Replaces each value of an id column by the path of names of the object it names, or by a mark.
function nameObjects(dump, columns) {
  const paths = objectPaths(dump);
  for (const table of dump.tables) {
    if (!table.rows) continue;
    table.columns.forEach((column, c) => {
      if (!columns.has(`${table.name}.${column.name}`)) return;
      for (const row of table.rows) if (row[c] !== null) row[c] = paths.get(row[c]) ?? NAMES_NOTHING;
    });
  }
}

function comparable(dump) {
  const tables = {};
  for (const table of dump.tables) {
    // A table mdb-reader refuses comes column by column, each column's values sorted.
    const rows = table.rows
      ? table.rows.map((row) => JSON.stringify(row))
      : [String(table.byColumn.rowCount), ...table.byColumn.values.map((values) => JSON.stringify([...values].sort()))];
    tables[table.name] = { columns: JSON.stringify(table.columns), rows: rows.sort() };
  }
  return tables;
}

function run(program, args) {
  return execFileSync(program, args, { encoding: "utf8", maxBuffer: 1 << 30, stdio: ["ignore", "pipe", "pipe"] });
}

// mdb-schema lists tables in catalog order, which follows the ids; compare the statements.
function schemaStatements(file) {
  return run("mdb-schema", [file]).split(/\n(?=CREATE|ALTER|--)/).map((s) => s.trim()).sort();
}

const [sourceFile, copyFile, tool] = process.argv.slice(2);
const problems = [];

function compareDumps(reader, source, copy) {
  const columns = idColumns(source);
  nameObjects(source, columns);
  nameObjects(copy, columns);
  const [a, b] = [comparable(source), comparable(copy)];
  for (const name of new Set([...Object.keys(a), ...Object.keys(b)])) {
    if (!a[name] || !b[name]) problems.push(`${reader}: table ${name} is only in the ${a[name] ? "source" : "copy"}`);
    else if (a[name].columns !== b[name].columns) problems.push(`${reader}: columns of ${name} differ`);
    else if (JSON.stringify(a[name].rows) !== JSON.stringify(b[name].rows)) {
      problems.push(`${reader}: rows of ${name} differ (${a[name].rows.length} and ${b[name].rows.length})`);
    }
  }
}

const TEXT_TYPES = ["text", "memo"];

// The copy's text values of each of the source's Jet 3 text columns, exact, against the raw
// page decoder's; then masked as mdb-reader reads the source.
function compareConvertedText(source, copy) {
  for (const table of source.tables) {
    const copied = copy.tables.find((t) => t.name === table.name);
    if (!table.byColumn || !copied?.rows) continue;
    table.byColumn.values.forEach((values, c) => {
      if (values === null) return;
      const exact = sortedValues(copied.rows.map((row) => row[c]));
      if (JSON.stringify(exact) !== JSON.stringify(values)) {
        problems.push(`text of ${table.name}.${table.columns[c].name} differs from the source's`);
      }
    });
    for (const row of copied.rows) {
      copied.columns.forEach((column, c) => {
        if (TEXT_TYPES.includes(column.type)) row[c] = canonicalValue("cp1252-decoded", column.type, row[c]);
      });
    }
  }
}

// Design properties (MSysObjects.LvProp) are compared as mdbtools reads them, object by
// object: a Jet 3 source's are stored in Jet 4's form in the copy.
const PROPERTIES_BY_MDB_PROP = "(compared by mdb-prop)";
function propertyColumn(dump) {
  const catalog = dump.tables.find((t) => t.name === "MSysObjects");
  return [catalog, ["Name", "LvProp"].map((name) => catalog.columns.findIndex((c) => c.name === name))];
}
function objectsWithProperties(dump) {
  const [catalog, [nameAt, propertiesAt]] = propertyColumn(dump);
  return new Set(catalog.rows.filter((row) => row[propertiesAt] !== null).map((row) => row[nameAt]));
}
function maskProperties(dump) {
  const [catalog, [, propertiesAt]] = propertyColumn(dump);
  for (const row of catalog.rows) if (row[propertiesAt] !== null) row[propertiesAt] = PROPERTIES_BY_MDB_PROP;
  return dump;
}

const sourceByReader = readerDump(sourceFile);
const copyByReader = readerDump(copyFile);
const converted = sourceByReader.format === "jet3";
const withProperties = objectsWithProperties(sourceByReader);
const comparedDump = (dump) => (converted ? maskProperties(dump) : dump);
if (converted) compareConvertedText(sourceByReader, copyByReader);
compareDumps("mdb-reader", comparedDump(sourceByReader), comparedDump(copyByReader));
if (tool) {
  compareDumps("vintrel-jet dump", comparedDump(toolDump(tool, sourceFile).doc), comparedDump(toolDump(tool, copyFile).doc));
}
const tables = (file) => run("mdb-tables", ["-S", "-1", file]).split("\n").filter(Boolean).sort();
if (JSON.stringify(tables(sourceFile)) !== JSON.stringify(tables(copyFile))) problems.push("mdb-tables lists differ");
if (JSON.stringify(schemaStatements(sourceFile)) !== JSON.stringify(schemaStatements(copyFile))) {
  problems.push("mdb-schema statements differ");
}
for (const table of run("mdb-tables", ["-1", sourceFile]).split("\n").filter(Boolean)) {
  // mdb-export writes "?" for what the source's code page leaves undefined.
  const masked = (text) => (converted ? text.replace(/[\u0081\u008d\u008f\u0090\u009d]/g, "?") : text);
  const rows = (file) => masked(run("mdb-export", ["-D", "%F %T", file, table])).split("\n").sort();
  if (JSON.stringify(rows(sourceFile)) !== JSON.stringify(rows(copyFile))) problems.push(`mdb-export of ${table} differs`);
}
for (const object of withProperties) {
  const properties = (file) => run("mdb-prop", [file, object]);
  if (properties(sourceFile) !== properties(copyFile)) problems.push(`mdb-prop of ${object} differs`);
}
if (problems.length) {
  console.log(problems.join("\n"));
  process.exit(1);
}
console.log(`${copyFile}: agrees with its source`);
