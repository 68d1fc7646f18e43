// Written a line at a time as each table and row is read, so a dump needs the memory of one row
// whatever the size of the file, and a difference from another reader's dump shows up as one
// line. Tables are sorted by name, so their order does not depend on where the catalog keeps
// its rows.
#include "tools/jet/json_dump.h"

#include <algorithm>
#include <cstdio>

#include "jet/jet_error.h"
#include "jet/value_format.h"

namespace vintrel::jet {
namespace {

// A fixed-size value shorter than its type is damage in the row that held it.
ByteView FixedValue(const Field& field, size_t size) {
  ByteView view(field.bytes, "row value", 0);
  if (field.bytes.size() < size) {
    throw DamagedError("The database is damaged: a row holds " + std::to_string(field.bytes.size()) +
                   " bytes for a " + std::to_string(size) + "-byte value.");
  }
  return view;
}

struct DumpedTable {
  std::u16string name;
  uint32_t page;
  bool system;
};

}  // namespace

std::string ColumnTypeName(uint8_t type) {
  switch (static_cast<ColumnType>(type)) {
    case ColumnType::kBoolean: return "boolean";
    case ColumnType::kByte: return "byte";
    case ColumnType::kInteger: return "integer";
    case ColumnType::kLong: return "long";
    case ColumnType::kCurrency: return "currency";
    case ColumnType::kFloat: return "float";
    case ColumnType::kDouble: return "double";
    case ColumnType::kDateTime: return "datetime";
    case ColumnType::kBinary: return "binary";
    case ColumnType::kText: return "text";
    case ColumnType::kOle: return "ole";
    case ColumnType::kMemo: return "memo";
    case ColumnType::kRepId: return "repid";
    case ColumnType::kNumeric: return "numeric";
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "unknown_0x%02x", type);
  return buffer;
}

void AppendJsonValue(std::string& out, const Column& column, const Field& field,
                     const TextEncoding& text) {
  if (field.null) {
    out += "null";
    return;
  }
  switch (static_cast<ColumnType>(column.type)) {
    case ColumnType::kBoolean:
      out += field.flag ? "true" : "false";
      return;
    case ColumnType::kByte:
      out += std::to_string(FixedValue(field, 1).U8(0));
      return;
    case ColumnType::kInteger:
      out += std::to_string(static_cast<int16_t>(FixedValue(field, 2).U16(0)));
      return;
    case ColumnType::kLong:
      out += std::to_string(static_cast<int32_t>(FixedValue(field, 4).U32(0)));
      return;
    case ColumnType::kCurrency:
      out += '"' + FormatCurrency(static_cast<int64_t>(FixedValue(field, 8).U64(0))) + '"';
      return;
    case ColumnType::kFloat:
      out += FormatJsNumber(FixedValue(field, 4).F32(0));
      return;
    case ColumnType::kDouble:
      out += FormatJsNumber(FixedValue(field, 8).F64(0));
      return;
    case ColumnType::kDateTime:
      out += '"' + FormatDateTime(FixedValue(field, 8).F64(0)) + '"';
      return;
    case ColumnType::kText:
    case ColumnType::kMemo:
      AppendJsonString(out, text.Decode(field.bytes));
      return;
    case ColumnType::kRepId:
      out += '"' + FormatGuid(std::span<const uint8_t, 16>(FixedValue(field, 16).bytes().data(), 16)) + '"';
      return;
    case ColumnType::kNumeric: {
      // 1 byte sign (0x80 = negative), then four 32-bit words, most significant first.
      ByteView view = FixedValue(field, 17);
      std::array<uint32_t, 4> words = {view.U32(1), view.U32(5), view.U32(9), view.U32(13)};
      out += '"' + FormatDecimal((view.U8(0) & 0x80) != 0, words, column.scale) + '"';
      return;
    }
    case ColumnType::kBinary:
    case ColumnType::kOle:
      break;
  }
  out += '"' + FormatHex(field.bytes) + '"';
}

void WriteDump(Database& database, std::ostream& out) {
  std::vector<DumpedTable> tables;
  for (const CatalogEntry& entry : database.ReadCatalog()) {
    if (entry.type != kCatalogLocalTable) continue;
    bool system = (entry.flags & kCatalogSystemFlags) != 0 || entry.name.starts_with(u"MSys");
    tables.push_back({entry.name, entry.definition_page(), system});
  }
  std::stable_sort(tables.begin(), tables.end(),
                   [](const DumpedTable& a, const DumpedTable& b) { return a.name < b.name; });

  std::string line = "{\"format\":\"";
  line += database.format().name;
  line += "\",\"codePage\":" + std::to_string(database.header().code_page) + ",\"tables\":[";
  out << line;
  std::vector<Field> fields;
  for (size_t t = 0; t < tables.size(); ++t) {
    TableDefinition table = database.ReadTable(tables[t].page);
    line = t == 0 ? "\n{\"name\":" : ",\n{\"name\":";
    AppendJsonString(line, tables[t].name);
    line += ",\"system\":";
    line += tables[t].system ? "true" : "false";
    line += ",\"columns\":[";
    for (size_t c = 0; c < table.columns.size(); ++c) {
      if (c > 0) line += ',';
      line += "{\"name\":";
      AppendJsonString(line, table.columns[c].name);
      line += ",\"type\":\"" + ColumnTypeName(table.columns[c].type) + "\"}";
    }
    line += "],\"rows\":[";
    out << line;
    TableReader reader(database.pages(), database.format(), table);
    bool first_row = true;
    while (reader.Next(fields)) {
      line = first_row ? "\n[" : ",\n[";
      first_row = false;
      for (size_t c = 0; c < fields.size(); ++c) {
        if (c > 0) line += ',';
        AppendJsonValue(line, table.columns[c], fields[c], database.text());
      }
      line += ']';
      out << line;
    }
    out << "]}";
  }
  out << "]}\n";
}

}  // namespace vintrel::jet
