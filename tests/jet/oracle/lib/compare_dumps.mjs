// Compares our reader's dump with an oracle's and describes each disagreement in a sentence
// naming the table, the column and both values. Rows are compared as sorted multisets, since
// the dump keeps storage order and the oracles need not read pages in the same order.
import { sortedValues } from "./column_by_column.mjs";

const ROWS_SHOWN = 3;
const VALUE_WIDTH = 120;

function shown(value) {
  const text = JSON.stringify(value);
  return text.length > VALUE_WIDTH ? `${text.slice(0, VALUE_WIDTH)}... (${text.length} characters)` : text;
}

function byCodeUnits(a, b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

// Elements of `a` that `b` lacks and of `b` that `a` lacks, counting repeats; both sorted.
function multisetDifference(a, b) {
  const left = a.map((v) => JSON.stringify(v)).sort(byCodeUnits);
  const right = b.map((v) => JSON.stringify(v)).sort(byCodeUnits);
  const onlyLeft = [];
  const onlyRight = [];
  let i = 0;
  let j = 0;
  while (i < left.length || j < right.length) {
    if (j >= right.length || (i < left.length && left[i] < right[j])) onlyLeft.push(JSON.parse(left[i++]));
    else if (i >= left.length || right[j] < left[i]) onlyRight.push(JSON.parse(right[j++]));
    else { i++; j++; }
  }
  return { onlyLeft, onlyRight };
}

function compareRows(table, ours, theirs, oracle) {
  const { onlyLeft, onlyRight } = multisetDifference(ours.rows, theirs.rows);
  if (onlyLeft.length === 0 && onlyRight.length === 0) return [];
  const names = ours.columns.map((c) => c.name);
  const problems = [`table ${table}: ${onlyLeft.length} of our ${ours.rows.length} rows and ` +
    `${onlyRight.length} of ${oracle}'s ${theirs.rows.length} rows have no equal on the other side`];
  for (let k = 0; k < Math.min(ROWS_SHOWN, Math.max(onlyLeft.length, onlyRight.length)); k++) {
    const mine = onlyLeft[k];
    const other = onlyRight[k];
    if (mine && other) {
      const differing = names.flatMap((name, i) => (JSON.stringify(mine[i]) === JSON.stringify(other[i]) ? []
        : [`${name}: ours ${shown(mine[i])}, ${oracle} ${shown(other[i])}`]));
      problems.push(`  table ${table}, sorted unmatched row ${k}: ${differing.join("; ")}`);
    } else if (mine) {
      problems.push(`  table ${table}: only ours has row ${shown(mine)}`);
    } else {
      problems.push(`  table ${table}: only ${oracle} has row ${shown(other)}`);
    }
  }
  return problems;
}

// Columns the oracle gives as sorted value lists (see column_by_column.mjs): every column of a
// table mdb-reader refuses, and Jet 3 text columns as the raw page decoder reads them.
function compareColumns(table, ours, byColumn) {
  if (ours.rows.length !== byColumn.rowCount) {
    return [`table ${table}: we read ${ours.rows.length} rows, ${[...new Set(byColumn.sources.filter(Boolean))].join(" and ")} ${byColumn.rowCount}`];
  }
  const problems = [];
  ours.columns.forEach((column, i) => {
    if (byColumn.values[i] === null) return;
    const mine = sortedValues(ours.rows.map((row) => row[i]));
    const { onlyLeft, onlyRight } = multisetDifference(mine, byColumn.values[i]);
    if (onlyLeft.length > 0 || onlyRight.length > 0) {
      const source = byColumn.sources[i];
      problems.push(`table ${table}, column ${column.name} (compared column by column with ${source}): ` +
        `values only ours has: ${onlyLeft.slice(0, ROWS_SHOWN).map(shown).join(", ") || "none"}; ` +
        `only ${source} has: ${onlyRight.slice(0, ROWS_SHOWN).map(shown).join(", ") || "none"}`);
    }
  });
  return problems;
}

// The column-by-column part of the comparison, on our dump as printed.
export function compareByColumn(ours, theirs) {
  const ourTables = new Map(ours.tables.map((t) => [t.name, t]));
  return theirs.tables.filter((t) => t.byColumn && ourTables.has(t.name)
      && columnsDifference(ourTables.get(t.name).columns, t.columns, "") === null)
    .flatMap((t) => compareColumns(t.name, ourTables.get(t.name), t.byColumn));
}

export function columnsDifference(ours, theirs, oracle) {
  const described = (c) => (c ? `${c.name} (${c.type})` : "nothing");
  for (let i = 0; i < Math.max(ours.length, theirs.length); i++) {
    if (JSON.stringify(ours[i]) !== JSON.stringify(theirs[i])) {
      return `column ${i + 1} is ${described(ours[i])} for us, ${described(theirs[i])} for ${oracle}`;
    }
  }
  return null;
}

export function compareDumps(ours, theirs, oracle) {
  const problems = [];
  for (const key of ["format", "codePage"]) {
    if (ours[key] !== theirs[key]) problems.push(`${key}: ours ${shown(ours[key])}, ${oracle} ${shown(theirs[key])}`);
  }
  const ourNames = ours.tables.map((t) => t.name);
  const sortedNames = [...ourNames].sort(byCodeUnits);
  if (JSON.stringify(ourNames) !== JSON.stringify(sortedNames)) {
    problems.push(`our tables are not in UTF-16 code-unit order: ${shown(ourNames)}`);
  }
  const theirTables = new Map(theirs.tables.map((t) => [t.name, t]));
  const ourTables = new Map(ours.tables.map((t) => [t.name, t]));
  for (const name of ourTables.keys()) if (!theirTables.has(name)) problems.push(`table ${name}: only we list it`);
  for (const name of theirTables.keys()) if (!ourTables.has(name)) problems.push(`table ${name}: only ${oracle} lists it`);
  for (const [name, mine] of ourTables) {
    const other = theirTables.get(name);
    if (!other) continue;
    if (mine.system !== other.system) problems.push(`table ${name}: system is ${mine.system} for us, ${other.system} for ${oracle}`);
    const columnProblem = columnsDifference(mine.columns, other.columns, oracle);
    if (columnProblem) {
      problems.push(`table ${name}: ${columnProblem}`);
      continue;
    }
    if (other.rows) problems.push(...compareRows(name, mine, other, oracle));
  }
  return problems;
}
