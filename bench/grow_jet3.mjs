// Makes a large Jet 3 database for the conversion benchmark, since every Jet 3 file of the
// corpus is under half a megabyte: the data pages of the user table with the most of them
// are appended again and again, and the table's usage map becomes a reference map over all
// of them. The table's primary key is made an ordinary index and no index stays unique, as
// the rows repeat and the index pages list none of the new ones; a conversion computes every
// key from the rows anyway.
//   node bench/grow_jet3.mjs <jet3.mdb> <out.mdb> <megabytes>
import { readFileSync, writeFileSync } from "node:fs";

const PAGE = 2048;
const [source, out, megabytes] = process.argv.slice(2);
const input = readFileSync(source);
if (input[0x14] !== 0) throw new Error(`${source} is not a Jet 3 database`);
const pages = input.length / PAGE;
const page = (n) => input.subarray(n * PAGE, (n + 1) * PAGE);

// Data pages (type 1) by the table definition page that owns them.
const owned = new Map();
for (let n = 1; n < pages; n++) {
  const p = page(n);
  if (p[0] !== 0x01) continue;
  const owner = p.readUInt32LE(4);
  if (owner < pages && page(owner)[0] === 0x02 && page(owner)[20] === 0x4e) {
    owned.set(owner, [...(owned.get(owner) ?? []), n]);
  }
}
const [table, dataPages] = [...owned].sort((a, b) => b[1].length - a[1].length)[0];
const definition = Buffer.from(page(table));
if (definition.readUInt32LE(4) !== 0) throw new Error("the table's definition spans pages");

// Logical index kinds: 20-byte entries after the real index counts, columns, their names and
// the real index entries.
const columns = definition.readUInt16LE(25);
const logical = definition.readUInt32LE(27);
const real = definition.readUInt32LE(31);
let at = 43 + 8 * real + 18 * columns;
for (let c = 0; c < columns; c++) at += 1 + definition[at];
const UNIQUE = 0x01;
for (let i = 0; i < real; i++) definition[at + 39 * i + 38] &= ~UNIQUE;
at += 39 * real;
for (let i = 0; i < logical; i++, at += 20) if (definition[at + 19] === 0x01) definition[at + 19] = 0;

const copies = Math.max(1, Math.ceil((megabytes * 1048576) / PAGE / dataPages.length));
const allPages = [...dataPages];
const appended = [];
for (let k = 0; k < copies; k++) {
  for (const n of dataPages) {
    allPages.push(pages + appended.length);
    appended.push(page(n));
  }
}
const rowsPerCopy = definition.readUInt32LE(12);
definition.writeUInt32LE(rowsPerCopy * (copies + 1), 12);

// The usage map: one map page (type 5, bitmap after 4 bytes) per 16,352 pages covered.
const perMapPage = (PAGE - 4) * 8;
const total = pages + appended.length;
const mapPages = [];
for (let first = 0; first < total + Math.ceil(total / perMapPage) + 1; first += perMapPage) {
  const map = Buffer.alloc(PAGE);
  map[0] = 0x05;
  map[1] = 0x01;
  mapPages.push(map);
}
for (const n of allPages) mapPages[Math.floor(n / perMapPage)][4 + ((n % perMapPage) >> 3)] |= 1 << (n % 8);
const mapStart = total;

// The map row the definition points to, rewritten in place as a reference map.
const pointer = definition.readUInt32LE(35);
const rowPage = Buffer.from(page(pointer >>> 8));
const row = pointer & 0xff;
const start = rowPage.readUInt16LE(10 + 2 * row) & 0x1fff;
const end = row === 0 ? PAGE : rowPage.readUInt16LE(10 + 2 * (row - 1)) & 0x1fff;
if (1 + 4 * mapPages.length > end - start) throw new Error("the usage map row is too small");
rowPage.fill(0, start, end);
rowPage[start] = 0x01;
mapPages.forEach((_, i) => rowPage.writeUInt32LE(mapStart + i, start + 1 + 4 * i));

const grown = Buffer.concat([input, ...appended, ...mapPages]);
definition.copy(grown, table * PAGE);
rowPage.copy(grown, (pointer >>> 8) * PAGE);
writeFileSync(out, grown);
console.log(`${out}: table ${table} grown to ${rowsPerCopy * (copies + 1)} rows, ${grown.length >> 20} MB`);
