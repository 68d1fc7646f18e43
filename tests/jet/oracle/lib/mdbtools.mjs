// Runs the mdbtools programs and parses what they print.
import { execFileSync } from "node:child_process";
import { typeNameOfSchemaType } from "./normalise.mjs";

function run(program, args) {
  try {
    return execFileSync(program, args, { encoding: "utf8", maxBuffer: 1 << 30, stdio: ["ignore", "pipe", "pipe"] });
  } catch (error) {
    if (error.code === "ENOENT") throw new Error(`${program} is not installed (Debian package mdbtools)`);
    throw new Error(`${program} ${args.join(" ")} failed: ${error.stderr || error.message}`);
  }
}

export function mdbVersion(file) {
  return run("mdb-ver", [file]).trim();
}

// Every table, system tables included, in catalog order.
export function mdbTables(file) {
  return run("mdb-tables", ["-S", "-1", file]).split("\n").filter((line) => line !== "");
}

// The column list of one table as [{ name, type }] in the order mdb-schema writes it.
export function mdbSchemaColumns(file, table) {
  const text = run("mdb-schema", ["-T", table, file]);
  const columns = [];
  for (const line of text.split("\n")) {
    const match = /^\t\[(.*)\]\t+(.*?)(?: NOT NULL)?,?\s*$/.exec(line);
    if (match) columns.push({ name: match[1], type: typeNameOfSchemaType(match[2]) });
  }
  if (columns.length === 0) throw new Error(`mdb-schema printed no columns for table ${table}`);
  return columns;
}

// Parses RFC 4180 CSV as mdb-export writes it: fields quoted with '"' and doubled quotes inside,
// rows ended by "\n" (inside quotes a line break is data). An empty unquoted field is null.
function parseCsv(text) {
  const rows = [];
  let row = [];
  let i = 0;
  while (i < text.length) {
    let field;
    if (text[i] === '"') {
      let end = i + 1;
      field = "";
      for (;;) {
        const close = text.indexOf('"', end);
        if (close < 0) throw new Error("mdb-export printed an unterminated quoted field");
        field += text.slice(end, close);
        if (text[close + 1] !== '"') { i = close + 1; break; }
        field += '"';
        end = close + 2;
      }
    } else {
      let end = i;
      while (end < text.length && text[end] !== "," && text[end] !== "\n") end++;
      field = end === i ? null : text.slice(i, end);
      i = end;
    }
    row.push(field);
    if (text[i] === ",") { i++; continue; }
    if (text[i] === "\n" || i >= text.length) { rows.push(row); row = []; i++; continue; }
    throw new Error(`mdb-export printed an unexpected character at offset ${i}`);
  }
  return rows;
}

// The rows of one table as arrays of text or null, after the header row of column names.
export function mdbExport(file, table) {
  const [header, ...rows] = parseCsv(run("mdb-export", ["-b", "hex", file, table]));
  return { columns: header, rows };
}
