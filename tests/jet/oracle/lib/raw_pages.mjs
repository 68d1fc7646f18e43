// A deliberately small decoder of Jet pages, written from the public description of the format
// and independent of both mdb-reader and our C++ reader. The oracle uses it only where mdb-reader
// has no answer: the version byte and code page of the header, the column list of a table whose
// column types mdb-reader refuses, and the raw bytes of such columns in each live row.
//
// Database definition page (page 0): version byte at 0x14 (0 = Jet 3, 1 = Jet 4); from 0x18 on,
// 126 (Jet 3) or 128 (Jet 4) bytes are masked with RC4 under a fixed key; the code page is the
// 16-bit value at 0x3C of the unmasked page.
//
// Table definition (page type 0x02, chained through the 32-bit "next page" at offset 4; each
// continuation page adds its bytes after its 8-byte header):
//   Jet 3: var column count @23, column count @25, real index count @31, usage map row @35,
//          real index entries (8 bytes each) @43, then 18-byte column entries, then names
//          (1-byte length, code-page bytes).
//   Jet 4: var column count @43, column count @45, real index count @51, usage map row @55,
//          real index entries (12 bytes each) @63, then 25-byte column entries, then names
//          (2-byte length, UCS-2 bytes).
//   Column entry:        type  number  var index  flags  fixed offset  length
//              Jet 3:    @0    @1      @3         @13    @14           @16
//              Jet 4:    @0    @5      @7         @15    @21           @23
//
// Data page (type 0x01): owning table definition page @4, row count @8 (Jet 3) / @12 (Jet 4),
// then one 16-bit row offset per row; the low 13 bits are the start, and a row ends where the
// previous one starts (row 0 ends at the page end). Flag 0x4000 alone: the row holds only a
// 4-byte pointer (page << 8 | row) to where the row now lives; flag 0x8000: not a row of its own
// (deleted, or the target of such a pointer, reached through the pointer only).
//
// Row, from its start: column count (1 byte Jet 3, 2 bytes Jet 4), fixed columns at their fixed
// offsets, variable data. From its end backwards: the null mask ((count + 7) / 8 bytes, bit set =
// present; a boolean's value is its bit), the variable column count, Jet 3's jump table, and the
// variable offsets (the last one marks the end of the variable data).
//
// Usage map (a row named by page << 8 | row): type 0 = start page (4 bytes) and an inline bitmap;
// type 1 = a list of 32-bit pointers to map pages (type 0x05) whose bitmap starts at byte 4.

const HEADER_MASK_KEY = [0xc7, 0xda, 0x39, 0x6b];
const HEADER_MASK_START = 0x18;

const LAYOUTS = {
  jet3: {
    pageSize: 2048, headerMaskLength: 126, rowCountOffset: 8, countWidth: 1,
    varColumnCount: 23, columnCount: 25, realIndexCount: 31, usageMap: 35,
    realIndexStart: 43, realIndexEntry: 8, nameLengthWidth: 1,
    column: { entry: 18, type: 0, number: 1, varIndex: 3, flags: 13, fixedOffset: 14, length: 16 },
  },
  jet4: {
    pageSize: 4096, headerMaskLength: 128, rowCountOffset: 12, countWidth: 2,
    varColumnCount: 43, columnCount: 45, realIndexCount: 51, usageMap: 55,
    realIndexStart: 63, realIndexEntry: 12, nameLengthWidth: 2,
    column: { entry: 25, type: 0, number: 5, varIndex: 7, flags: 15, fixedOffset: 21, length: 23 },
  },
};

const PAGE_DATA = 0x01;
const PAGE_TABLE_DEFINITION = 0x02;
const PAGE_USAGE_MAP = 0x05;
const ROW_NOT_OWN = 0x8000;
const ROW_OVERFLOW_POINTER = 0x4000;
const ROW_OFFSET_MASK = 0x1fff;
const COLUMN_FIXED = 0x01;
const TYPE_BOOLEAN = 0x01;

// Code page 1252 from 0x80 to 0x9F (the rest is ISO 8859-1); Node's TextDecoder treats
// "windows-1252" as ISO 8859-1, so the table is spelled out. Undefined bytes map to C1 controls.
const WINDOWS_1252_80_9F = [
  0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160, 0x2039,
  0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
  0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178,
];
const WINDOWS_LATIN_1 = 1252;

function rc4(key, data) {
  const s = Array.from({ length: 256 }, (_, i) => i);
  for (let i = 0, j = 0; i < 256; i++) {
    j = (j + s[i] + key[i % key.length]) & 0xff;
    [s[i], s[j]] = [s[j], s[i]];
  }
  const out = Buffer.alloc(data.length);
  for (let n = 0, i = 0, j = 0; n < data.length; n++) {
    i = (i + 1) & 0xff;
    j = (j + s[i]) & 0xff;
    [s[i], s[j]] = [s[j], s[i]];
    out[n] = data[n] ^ s[(s[i] + s[j]) & 0xff];
  }
  return out;
}

function bitSet(bytes, index) {
  return (bytes[index >> 3] & (1 << (index & 7))) !== 0;
}

export class RawDatabase {
  constructor(bytes) {
    this.bytes = bytes;
    const version = bytes[0x14];
    if (version === 0) this.format = "jet3";
    else if (version === 1) this.format = "jet4";
    else throw new Error(`version byte 0x${version.toString(16)} is neither Jet 3 nor Jet 4`);
    this.layout = LAYOUTS[this.format];
  }

  page(number) {
    const size = this.layout.pageSize;
    if (number <= 0 || (number + 1) * size > this.bytes.length) {
      throw new Error(`page ${number} is outside the file`);
    }
    return this.bytes.subarray(number * size, (number + 1) * size);
  }

  codePage() {
    if (this.unmaskedCodePage === undefined) {
      const { headerMaskLength } = this.layout;
      const masked = this.bytes.subarray(HEADER_MASK_START, HEADER_MASK_START + headerMaskLength);
      const header = Buffer.concat([this.bytes.subarray(0, HEADER_MASK_START), rc4(HEADER_MASK_KEY, masked)]);
      this.unmaskedCodePage = header.readUInt16LE(0x3c);
    }
    return this.unmaskedCodePage;
  }

  // The file's bytes with another code page in the header, as if another system had made it.
  withCodePage(codePage) {
    const { headerMaskLength } = this.layout;
    const end = HEADER_MASK_START + headerMaskLength;
    const header = rc4(HEADER_MASK_KEY, this.bytes.subarray(HEADER_MASK_START, end));
    header.writeUInt16LE(codePage, 0x3c - HEADER_MASK_START);
    return Buffer.concat([this.bytes.subarray(0, HEADER_MASK_START), rc4(HEADER_MASK_KEY, header), this.bytes.subarray(end)]);
  }

  // Text as Jet 3 stores it (code-page bytes) or as Jet 4 stores names (UCS-2).
  decodeText(bytes) {
    if (this.format === "jet4") return bytes.toString("utf16le");
    if (this.codePage() !== WINDOWS_LATIN_1) throw new Error(`code page ${this.codePage()} is not decoded here`);
    return String.fromCharCode(...[...bytes].map((b) => (b >= 0x80 && b <= 0x9f ? WINDOWS_1252_80_9F[b - 0x80] : b)));
  }

  // Returns { page, hasVarColumns, usageMap, columns }: usageMap is the row pointer of the table's
  // page map, and columns are in column-number order, each
  // { number, name, typeCode, fixed, varIndex, fixedOffset, length }.
  tableDefinition(firstPage) {
    const parts = [];
    const seen = new Set();
    for (let number = firstPage; number !== 0;) {
      if (seen.has(number)) throw new Error(`table definition chain from page ${firstPage} loops at page ${number}`);
      seen.add(number);
      const page = this.page(number);
      if (page[0] !== PAGE_TABLE_DEFINITION) throw new Error(`page ${number} is not a table definition`);
      parts.push(parts.length === 0 ? page : page.subarray(8));
      number = page.readUInt32LE(4);
    }
    const def = Buffer.concat(parts);
    const l = this.layout;
    const count = def.readUInt16LE(l.columnCount);
    const entries = l.realIndexStart + def.readUInt32LE(l.realIndexCount) * l.realIndexEntry;
    let nameAt = entries + count * l.column.entry;
    const columns = [];
    for (let i = 0; i < count; i++) {
      const e = def.subarray(entries + i * l.column.entry);
      const nameLength = def.readUIntLE(nameAt, l.nameLengthWidth);
      nameAt += l.nameLengthWidth;
      columns.push({
        number: e.readUInt16LE(l.column.number),
        name: this.decodeText(def.subarray(nameAt, nameAt + nameLength)),
        typeCode: e[l.column.type],
        fixed: (e[l.column.flags] & COLUMN_FIXED) !== 0,
        varIndex: e.readUInt16LE(l.column.varIndex),
        fixedOffset: e.readUInt16LE(l.column.fixedOffset),
        length: e.readUInt16LE(l.column.length),
      });
      nameAt += nameLength;
    }
    columns.sort((a, b) => a.number - b.number);
    return { page: firstPage, hasVarColumns: def.readUInt16LE(l.varColumnCount) > 0, usageMap: def.readUInt32LE(l.usageMap), columns };
  }

  rowBytes(page, row) {
    const at = this.layout.rowCountOffset + 2 + row * 2;
    const start = page.readUInt16LE(at) & ROW_OFFSET_MASK;
    const end = row === 0 ? page.length : page.readUInt16LE(at - 2) & ROW_OFFSET_MASK;
    if (start >= end) throw new Error(`row ${row} has no bytes`);
    return page.subarray(start, end);
  }

  usageMapPages(pointer) {
    const map = this.rowBytes(this.page(pointer >>> 8), pointer & 0xff);
    const pages = [];
    const collect = (bitmap, first) => {
      for (let bit = 0; bit < bitmap.length * 8; bit++) if (bitSet(bitmap, bit)) pages.push(first + bit);
    };
    if (map[0] === 0) {
      collect(map.subarray(5), map.readUInt32LE(1));
    } else if (map[0] === 1) {
      const perMapPage = (this.layout.pageSize - 4) * 8;
      for (let i = 0; 1 + i * 4 + 4 <= map.length; i++) {
        const number = map.readUInt32LE(1 + i * 4);
        if (number === 0) continue;
        const mapPage = this.page(number);
        if (mapPage[0] !== PAGE_USAGE_MAP) throw new Error(`page ${number} is not a usage map page`);
        collect(mapPage.subarray(4), i * perMapPage);
      }
    } else {
      throw new Error(`usage map of type ${map[0]}`);
    }
    return pages;
  }

  // Yields each live row of the table as an array in column order: null, a boolean, or the raw
  // bytes of the column as stored in the row.
  *rows(def) {
    for (const number of this.usageMapPages(def.usageMap)) {
      const page = this.page(number);
      if (page[0] !== PAGE_DATA || page.readUInt32LE(4) !== def.page) continue;
      const count = page.readUInt16LE(this.layout.rowCountOffset);
      for (let row = 0; row < count; row++) {
        const flags = page.readUInt16LE(this.layout.rowCountOffset + 2 + row * 2);
        if (flags & ROW_NOT_OWN) continue;
        let bytes = this.rowBytes(page, row);
        if (flags & ROW_OVERFLOW_POINTER) {
          const pointer = bytes.readUInt32LE(0);
          bytes = this.rowBytes(this.page(pointer >>> 8), pointer & 0xff);
        }
        yield this.decodeRow(def, bytes);
      }
    }
  }

  decodeRow(def, row) {
    const width = this.layout.countWidth;
    const stored = row.readUIntLE(0, width);
    const maskLength = (stored + 7) >> 3;
    const mask = row.subarray(row.length - maskLength);
    const varOffsets = def.hasVarColumns ? this.varOffsets(row, maskLength) : [];
    return def.columns.map((c) => {
      const present = c.number < stored && bitSet(mask, c.number);
      if (c.typeCode === TYPE_BOOLEAN) return present;
      if (!present) return null;
      if (c.fixed) return Buffer.from(row.subarray(width + c.fixedOffset, width + c.fixedOffset + c.length));
      if (c.varIndex + 1 >= varOffsets.length) return null;
      return Buffer.from(row.subarray(varOffsets[c.varIndex], varOffsets[c.varIndex + 1]));
    });
  }

  // Offsets from the row start of each variable column, plus the end of the variable data.
  varOffsets(row, maskLength) {
    const offsets = [];
    if (this.format === "jet4") {
      const countAt = row.length - maskLength - 2;
      const count = row.readUInt16LE(countAt);
      for (let i = 0; i <= count; i++) offsets.push(row.readUInt16LE(countAt - 2 - i * 2));
      return offsets;
    }
    const countAt = row.length - maskLength - 1;
    const count = row[countAt];
    const jumps = Math.floor((row.length - 1) / 256);
    const jumpTable = row.subarray(countAt - jumps, countAt);
    for (let i = 0; i <= count; i++) {
      const high = jumpTable.filter((first) => first <= i).length;
      offsets.push(row[countAt - jumps - 1 - i] + 256 * high);
    }
    return offsets;
  }
}
