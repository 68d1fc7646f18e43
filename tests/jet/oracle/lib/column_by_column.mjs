// Value lists per column, for what cannot be compared row by row with mdb-reader:
//  - a table that mdb-reader refuses: known types from mdb-export and unknown types as the raw
//    bytes the page decoder finds in each row; rows cannot be paired across the two sources;
//  - Jet 3 text, which mdb-reader decodes with five bytes of code page 1252 lost (normalisation
//    6): the raw page decoder's full decoding of each text column.
import { mdbExport } from "./mdbtools.mjs";
import { canonicalValue, typeNameOfCode } from "./normalise.mjs";

export function sortedValues(values) {
  return values.map((v) => JSON.stringify(v)).sort().map((text) => JSON.parse(text));
}

export function refusedTableValues(file, raw, def, table, columns) {
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
  return { rowCount: rawRows.length, sources, values: values.map(sortedValues) };
}

export function jet3TextValues(raw, def) {
  const rawRows = [...raw.rows(def)];
  const text = def.columns.map((c) => typeNameOfCode(c.typeCode) === "text");
  const values = def.columns.map((_, i) =>
    (text[i] ? sortedValues(rawRows.map((row) => (row[i] === null ? null : raw.decodeText(row[i])))) : null));
  return { rowCount: rawRows.length, sources: text.map((t) => (t ? "raw page decoder" : null)), values };
}
