// Runs `vintrel-jet dump <file>` and checks that what it prints has the canonical form: the keys
// in their order, the value kinds of each column type, and text that reads back unchanged.
import { spawnSync } from "node:child_process";
import { formatDump, withoutLayout } from "./canonical_json.mjs";

const TYPE_NAMES = new Set(["boolean", "byte", "integer", "long", "currency", "float", "double",
  "datetime", "binary", "text", "ole", "memo", "repid", "numeric"]);

// What a non-null value of each type looks like in the canonical dump.
const VALUE_FORMS = {
  boolean: (v) => typeof v === "boolean",
  byte: (v) => Number.isInteger(v) && v >= 0 && v <= 255,
  integer: (v) => Number.isInteger(v) && v >= -32768 && v <= 32767,
  long: (v) => Number.isInteger(v) && v >= -2147483648 && v <= 2147483647,
  currency: (v) => typeof v === "string" && /^-?(0|[1-9][0-9]*)\.[0-9]{4}$/.test(v),
  float: (v) => typeof v === "number" || ["NaN", "Infinity", "-Infinity"].includes(v),
  double: (v) => typeof v === "number" || ["NaN", "Infinity", "-Infinity"].includes(v),
  datetime: (v) => typeof v === "string" && /^-?[0-9]{4,}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}$/.test(v),
  binary: (v) => typeof v === "string" && /^([0-9a-f]{2})*$/.test(v),
  text: (v) => typeof v === "string",
  ole: (v) => typeof v === "string" && /^([0-9a-f]{2})*$/.test(v),
  memo: (v) => typeof v === "string",
  repid: (v) => typeof v === "string" && /^\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}$/.test(v),
  numeric: (v) => typeof v === "string" && /^-?(0|[1-9][0-9]*)(\.[0-9]+)?$/.test(v),
};

function sameKeys(object, keys) {
  return object !== null && typeof object === "object" && !Array.isArray(object) &&
    JSON.stringify(Object.keys(object)) === JSON.stringify(keys);
}

function valueForm(type) {
  if (TYPE_NAMES.has(type)) return VALUE_FORMS[type];
  if (/^unknown_0x[0-9a-f]{2}$/.test(type)) return VALUE_FORMS.binary;
  return null;
}

// Problems with the form of a parsed dump, as readable sentences; empty when it is canonical.
function formProblems(doc) {
  if (!sameKeys(doc, ["format", "codePage", "tables"])) return ["the document's keys are not format, codePage, tables"];
  const problems = [];
  if (!["jet3", "jet4"].includes(doc.format)) problems.push(`format is ${JSON.stringify(doc.format)}`);
  if (!Number.isInteger(doc.codePage)) problems.push(`codePage is ${JSON.stringify(doc.codePage)}`);
  if (!Array.isArray(doc.tables)) return [...problems, "tables is not an array"];
  for (const table of doc.tables) {
    if (!sameKeys(table, ["name", "system", "columns", "rows"])) {
      problems.push(`a table's keys are ${JSON.stringify(Object.keys(table ?? {}))}, not name, system, columns, rows`);
      continue;
    }
    const forms = table.columns.map((c) => {
      if (!sameKeys(c, ["name", "type"])) problems.push(`table ${table.name}: a column's keys are not name, type`);
      const form = valueForm(c.type);
      if (!form) problems.push(`table ${table.name}: column ${c.name} has type ${JSON.stringify(c.type)}`);
      return form;
    });
    table.rows.forEach((row, r) => {
      if (!Array.isArray(row) || row.length !== forms.length) {
        problems.push(`table ${table.name}: row ${r} does not have ${forms.length} values`);
        return;
      }
      row.forEach((v, i) => {
        if (v !== null && forms[i] && !forms[i](v)) {
          problems.push(`table ${table.name}: row ${r} column ${table.columns[i].name}: ${JSON.stringify(v)} is not a canonical ${table.columns[i].type}`);
        }
      });
    });
  }
  return problems;
}

// Returns { doc, problems }; throws when the tool fails or prints something that is not JSON.
export function toolDump(tool, file) {
  const result = spawnSync(tool, ["dump", file], { maxBuffer: 1 << 30 });
  if (result.error) throw new Error(`cannot run ${tool}: ${result.error.message}`);
  if (result.status !== 0) {
    throw new Error(`vintrel-jet dump exited with ${result.status ?? result.signal}: ${result.stderr.toString().trim()}`);
  }
  const text = result.stdout.toString("utf8");
  let doc;
  try {
    doc = JSON.parse(text);
  } catch (error) {
    throw new Error(`vintrel-jet dump printed text that is not JSON: ${error.message}`);
  }
  const problems = formProblems(doc);
  if (problems.length === 0 && withoutLayout(text) !== withoutLayout(formatDump(doc))) {
    problems.push(firstTextDifference(withoutLayout(text), withoutLayout(formatDump(doc))));
  }
  return { doc, problems };
}

function firstTextDifference(printed, canonical) {
  let i = 0;
  while (i < printed.length && printed[i] === canonical[i]) i++;
  const around = (s) => JSON.stringify(s.slice(Math.max(0, i - 40), i + 40));
  return `the dump's text is not in canonical form at character ${i}: printed ${around(printed)}, canonical ${around(canonical)}`;
}
