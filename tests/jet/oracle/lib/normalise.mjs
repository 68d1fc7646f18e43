// The one place where the oracles' value representations are turned into the canonical dump's.
// Only representation changes here: no value is dropped, rounded or made to agree.

const TYPE_NAMES = {
  0x01: "boolean", 0x02: "byte", 0x03: "integer", 0x04: "long", 0x05: "currency",
  0x06: "float", 0x07: "double", 0x08: "datetime", 0x09: "binary", 0x0a: "text",
  0x0b: "ole", 0x0c: "memo", 0x0f: "repid", 0x10: "numeric",
};

// mdb-reader names a few newer types that the canonical dump only knows by their code.
const READER_ONLY_TYPE_CODES = { complex: 0x12, bigint: 0x13, datetimextended: 0x14 };

export function typeNameOfCode(code) {
  return TYPE_NAMES[code] ?? `unknown_0x${code.toString(16).padStart(2, "0")}`;
}

export function typeNameOfReaderType(type) {
  return type in READER_ONLY_TYPE_CODES ? typeNameOfCode(READER_ONLY_TYPE_CODES[type]) : type;
}

// mdb-schema's (Access back-end) spelling of each type, e.g. "Text (50)", "Unknown_0011".
export function typeNameOfSchemaType(spelling) {
  const base = spelling.replace(/\s*\(.*\)$/, "");
  const unknown = /^Unknown_00([0-9a-fA-F]{2})$/.exec(base);
  if (unknown) return typeNameOfCode(parseInt(unknown[1], 16));
  const names = {
    "Boolean": "boolean", "Byte": "byte", "Integer": "integer", "Long Integer": "long",
    "Currency": "currency", "Single": "float", "Double": "double", "DateTime": "datetime",
    "Binary": "binary", "Text": "text", "OLE": "ole", "Memo/Hyperlink": "memo",
    "Replication ID": "repid", "Numeric": "numeric",
  };
  if (!(base in names)) throw new Error(`mdb-schema type "${spelling}" has no canonical name`);
  return names[base];
}

function pad(number, width) {
  const text = String(Math.abs(number)).padStart(width, "0");
  return number < 0 ? `-${text}` : text;
}

function isZeroDecimal(text) {
  return /^-?[0.]+$/.test(text);
}

// Code page 1252 leaves five bytes undefined; Windows decodes them as the C1 controls below,
// mdb-reader as U+FFFD.
const UNDEFINED_IN_1252 = /[\u0081\u008d\u008f\u0090\u009d]/g;

// Turns one value, as `source` gives it for a column of canonical type `type`, into the form it is
// compared in. `source` is "mdb-reader", "mdb-export", "raw-pages", or "cp1252-decoded" for Jet 3
// text that a full code-page decoder produced (ours, or the raw page decoder's) when it is
// compared with mdb-reader's. Every normalisation the checks rely on:
//  1. binary, ole, unknown types: mdb-reader and the raw page decoder give a Buffer; canonical is
//     lowercase hex.
//  2. datetime: mdb-reader gives a Date holding the stored day count as milliseconds since the
//     Unix epoch; canonical is "YYYY-MM-DD HH:MM:SS.mmm" read from its UTC fields. mdb-reader
//     rounds after moving to the Unix epoch, the canonical rule before; check_oracles.mjs checks
//     on every fixture that the two land on the same millisecond.
//  3. float, double: NaN and the infinities become the strings "NaN", "Infinity", "-Infinity",
//     and negative zero becomes 0 (JSON has none of them).
//  4. repid: mdb-reader gives lowercase hex groups without braces; canonical is "{...}" with
//     uppercase hex.
//  5. numeric: mdb-reader writes a zero with the sign bit set as "-0..."; canonical has no sign
//     on zero.
//  6. Jet 3 text and memo compared with mdb-reader: the five characters a full decoder gives for
//     the bytes code page 1252 leaves undefined become U+FFFD, as mdb-reader writes them. What
//     this hides is checked apart: Jet 3 text columns are also compared, unchanged, with the raw
//     page decoder's full decoding (column_by_column.mjs).
//  7. mdb-export's CSV: integers, booleans (0/1) and exact decimals (currency, numeric) arrive as
//     text and become JSON integers, true/false and strings; null arrives as an empty unquoted
//     field (the caller passes null). Other types are not taken from mdb-export: it cuts text and
//     binary at the first zero byte, writes "?" for characters it cannot convert, drops a dash
//     from GUIDs, and prints floating-point numbers and dates with fewer digits than stored.
export function canonicalValue(source, type, value) {
  if (value === null) return null;
  if (source === "mdb-export") return fromExport(type, value);
  if (source === "cp1252-decoded") {
    return type === "text" || type === "memo" ? value.replace(UNDEFINED_IN_1252, "\ufffd") : value;
  }
  if (source === "raw-pages") {
    if (!type.startsWith("unknown_")) throw new Error(`raw page values are only used for unknown types, not ${type}`);
    return value.toString("hex");
  }
  switch (type) {
    case "binary": case "ole":
      return value.toString("hex");
    case "datetime": {
      if (Number.isNaN(value.getTime())) throw new Error("mdb-reader gave an invalid date");
      return `${pad(value.getUTCFullYear(), 4)}-${pad(value.getUTCMonth() + 1, 2)}-${pad(value.getUTCDate(), 2)} ` +
        `${pad(value.getUTCHours(), 2)}:${pad(value.getUTCMinutes(), 2)}:${pad(value.getUTCSeconds(), 2)}.` +
        `${pad(value.getUTCMilliseconds(), 3)}`;
    }
    case "float": case "double":
      if (Number.isNaN(value) || !Number.isFinite(value)) return String(value);
      return value === 0 ? 0 : value;
    case "repid":
      return `{${value.toUpperCase()}}`;
    case "numeric":
      return isZeroDecimal(value) ? value.replace(/^-/, "") : value;
    default:
      return value;
  }
}

function fromExport(type, text) {
  switch (type) {
    case "boolean": return text === "1";
    case "byte": case "integer": case "long": return Number.parseInt(text, 10);
    case "currency": case "numeric": return text;
    default: throw new Error(`a ${type} column cannot be checked exactly against mdb-export`);
  }
}
