// The database's format, table list and column lists as mdbtools sees them, compared with ours.
import { mdbVersion, mdbTables, mdbSchemaColumns } from "./mdbtools.mjs";
import { columnsDifference } from "./compare_dumps.mjs";

const VERSIONS = { JET3: "jet3", JET4: "jet4" };

export function compareWithMdbtools(file, ours) {
  const problems = [];
  const version = mdbVersion(file);
  if (VERSIONS[version] !== ours.format) problems.push(`format: ours ${ours.format}, mdb-ver ${version}`);
  // mdb-tables lists in catalog order, our dump by name: compare the sets.
  const theirNames = new Set(mdbTables(file));
  const ourNames = new Set(ours.tables.map((t) => t.name));
  for (const name of ourNames) if (!theirNames.has(name)) problems.push(`table ${name}: only we list it, mdb-tables does not`);
  for (const name of theirNames) if (!ourNames.has(name)) problems.push(`table ${name}: mdb-tables lists it, we do not`);
  for (const table of ours.tables) {
    if (!theirNames.has(table.name)) continue;
    const difference = columnsDifference(table.columns, mdbSchemaColumns(file, table.name), "mdb-schema");
    if (difference) problems.push(`table ${table.name}: ${difference}`);
  }
  return problems;
}
