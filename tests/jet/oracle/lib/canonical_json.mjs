// Writing and reading the canonical dump's text. Layout (line breaks) is not part of what the
// checks compare: `withoutLayout` removes whitespace outside strings, so two dumps agree in form
// when their texts agree after it.

// JSON.stringify already writes strings the canonical way (short escapes for \b \f \n \r \t,
// \u00xx for other control characters and lone surrogates) and numbers as String(number).
function value(v) {
  if (typeof v === "number" && Object.is(v, -0)) return "0";
  return JSON.stringify(v);
}

function tableHeader(t) {
  const columns = t.columns.map((c) => `{"name":${value(c.name)},"type":${value(c.type)}}`).join(",");
  return `{"name":${value(t.name)},"system":${t.system},"columns":[${columns}]`;
}

function tableText(t) {
  const extra = Object.keys(t).filter((k) => !["name", "system", "columns", "rows"].includes(k));
  const tail = extra.map((k) => `,${value(k)}:${JSON.stringify(t[k])}`).join("");
  if (!t.rows) return `${tableHeader(t)}${tail}}`;
  const rows = t.rows.map((r) => `[${r.map(value).join(",")}]`).join(",\n");
  return `${tableHeader(t)},"rows":[\n${rows}]${tail}}`;
}

export function formatDump(doc) {
  const tables = doc.tables.map(tableText).join(",\n");
  return `{"format":${value(doc.format)},"codePage":${doc.codePage},"tables":[\n${tables}]}\n`;
}

// Removes whitespace outside strings and writes every \uXXXX escape in lowercase, the two
// freedoms a writer of the canonical form has.
export function withoutLayout(text) {
  return text.replace(/"(?:[^"\\]|\\.)*"|\s+/g, (token) =>
    token[0] !== '"' ? "" : token.replace(/\\(u[0-9A-Fa-f]{4}|.)/g, (escape, body) =>
      (body[0] === "u" ? `\\${body.toLowerCase()}` : escape)));
}
