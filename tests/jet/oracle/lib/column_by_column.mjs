// The route for a table that mdb-reader refuses: each column's values as a sorted list, known
// types from mdb-export and unknown types as the raw bytes the page decoder finds in each row.
// Rows cannot be paired across the two sources, so the lists are compared per column.
import { mdbExport } from "./mdbtools.mjs";
import { canonicalValue } from "./normalise.mjs";

export function sortedValues(values) {
  return values.map((v) => JSON.stringify(v)).sort().map((text) => JSON.parse(text));
}

export function columnValues(file, raw, def, table, columns) {
  const exported = mdbExport(file, table);
  const rawRows = [...raw.rows(def)];
  if (exported.rows.length !== rawRows.length) {
    throw new Error(`table ${table}: mdb-export gives ${exported.rows.length} rows, the raw page decoder ${rawRows.length}`);
  }
  const sources = columns.map((c) => (c.type.startsWith("unknown_") ? "raw page decoder" : "mdb-export"));
  const values = columns.map((column, index) => {
    if (sources[index] === "raw page decoder") {
      return rawRows.map((row) => canonicalValue("raw-pages", column.type, row[index]));
    }
    const at = exported.columns.indexOf(column.name);
    if (at < 0) throw new Error(`table ${table}: mdb-export has no column ${column.name}`);
    return exported.rows.map((row) => canonicalValue("mdb-export", column.type, row[at]));
  });
  return { rowCount: rawRows.length, columnSources: sources, columnValues: values.map(sortedValues) };
}
