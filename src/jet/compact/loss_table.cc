// The table is written as the row copy writes any other: rows packed into data pages the
// table owns, long values on their own pages, maps through the shared map rows, then the
// definition, laid out anew since no source holds one. Its text is stored as UCS-2, as Jet 4
// stores the text of its own system tables.
#include "jet/compact/loss_table.h"

#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "jet/coding.h"
#include "jet/compact/definition_rewrite.h"
#include "jet/compact/row_pages.h"
#include "jet/pages/definition_builder.h"
#include "jet/pages/long_value_writer.h"
#include "jet/pages/row_encoder.h"
#include "jet/table_reader.h"
#include "jet/text_codec.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {

constexpr uint8_t kFixedColumn = kColumnFixedLength | kColumnNullable;
constexpr uint16_t kTextBytes = 510;  // 255 characters of UCS-2

enum LossColumn : size_t { kTable, kPage, kRow, kRows, kKeys, kDescription, kLossColumns };

Column Text(const char16_t* name, uint16_t number, uint16_t var_index, ColumnType type) {
  return {name, static_cast<uint8_t>(type), number, var_index, 0,
          static_cast<uint16_t>(type == ColumnType::kText ? kTextBytes : 0), kColumnNullable, kGeneralSortOrder,
          0, 0, false};
}

Column Long(const char16_t* name, uint16_t number, uint16_t fixed_offset) {
  return {name, static_cast<uint8_t>(ColumnType::kLong), number, 0, fixed_offset, 4, kFixedColumn, 0, 0, 0, false};
}

TableDefinition LossTable(uint32_t page) {
  TableDefinition table{};
  table.page = page;
  table.table_type = kSystemTableType;
  table.max_columns = kLossColumns;
  table.var_column_count = 3;
  table.columns = {Text(u"ErrorTable", kTable, 0, ColumnType::kText), Long(u"ErrorPage", kPage, 0),
                   Long(u"ErrorRow", kRow, 4), Long(u"ErrorRows", kRows, 8),
                   Text(u"ErrorKeys", kKeys, 1, ColumnType::kMemo),
                   Text(u"ErrorDescription", kDescription, 2, ColumnType::kMemo)};
  table.long_value_maps = {{kKeys, 0, 0}, {kDescription, 0, 0}};
  return table;
}

Field TextField(const std::u16string& text) { return {false, false, EncodeJet4Text(text, false)}; }

Field LongField(uint64_t value) {
  Field field{false, false, std::vector<uint8_t>(4)};
  PutU32(field.bytes, 0, static_cast<uint32_t>(value));
  return field;
}

std::vector<Field> LossRow(const LostRows& lost) {
  std::string keys;
  for (const std::string& key : lost.keys) keys += (keys.empty() ? "" : "\r\n") + key;
  std::vector<Field> row(kLossColumns);
  row[kTable] = TextField(lost.table);
  row[kPage] = LongField(lost.page);
  if (lost.row) row[kRow] = LongField(*lost.row);
  row[kRows] = LongField(lost.count);
  if (!keys.empty()) row[kKeys] = TextField(FromUtf8(keys));
  row[kDescription] = TextField(FromUtf8(lost.reason));
  return row;
}

void PutDate(Field& field, double days) {
  uint64_t bits;
  std::memcpy(&bits, &days, sizeof bits);
  field = {false, false, std::vector<uint8_t>(8)};
  for (size_t i = 0; i < 8; ++i) field.bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
}

}  // namespace

std::u16string LossTableName(const std::vector<CatalogEntry>& catalog) {
  auto fold = [](std::u16string name) {
    for (char16_t& c : name) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return name;
  };
  std::set<std::u16string> taken;
  for (const CatalogEntry& entry : catalog) taken.insert(fold(entry.name));
  std::u16string name(kLossTableName);
  for (int suffix = 2; taken.contains(fold(name)); ++suffix) name = std::u16string(kLossTableName) + FromUtf8(std::to_string(suffix));
  return name;
}

std::vector<Field> LossCatalogRow(Database& source, uint32_t model, int32_t id, const std::u16string& name,
                                  double now) {
  const TableDefinition catalog = source.ReadTable(kCatalogPage);
  TableReader reader(source.pages(), source.format(), catalog);
  std::vector<Field> row;
  bool found = false;
  while (!found && reader.Next(row)) {
    found = PackRowPointer(reader.location().page, static_cast<uint8_t>(reader.location().row)) == model;
  }
  if (!found) RaiseDamaged("table definition", kCatalogPage, "the catalog's own row cannot be found again");
  for (size_t c = 0; c < catalog.columns.size(); ++c) {
    const Column& column = catalog.columns[c];
    if (column.name == u"Id") {
      row[c] = LongField(static_cast<uint32_t>(id));
    } else if (column.name == u"Name") {
      row[c].bytes = source.text().unicode() ? EncodeJet4Text(name, column.compressed_text)
                                             : std::vector<uint8_t>(name.begin(), name.end());
    } else if (column.name == u"DateCreate" || column.name == u"DateUpdate") {
      PutDate(row[c], now);
    } else if (column.long_value()) {
      row[c] = Field{};
    }
  }
  return row;
}

TableDigest WriteLossTable(const std::vector<LostRows>& losses, uint32_t definition_page, PageOutput& output,
                           MapRows& maps) {
  const Format& format = kJet4Format;
  const TableDefinition table = LossTable(definition_page);
  const TextEncoding unicode;
  RowHasher hasher(table, unicode);
  RowEncoder encoder(format, table);
  std::map<uint16_t, LongValueWriter> long_values;
  RowPages pages(format, output, definition_page);
  TableDigest digest;
  std::vector<uint8_t> bytes;
  for (const LostRows& lost : losses) {
    const std::vector<Field> row = LossRow(lost);
    digest.checksum += hasher.Hash(row);
    ++digest.rows;
    encoder.Encode(
        row,
        [&](size_t column, const Field& field) {
          return long_values.try_emplace(table.columns[column].number, format, output).first->second.Write(field.bytes);
        },
        bytes);
    pages.Add(bytes);
  }
  const std::optional<uint32_t> with_room = pages.Finish();
  for (auto& [column, writer] : long_values) writer.Flush();
  DefinitionBlock block = BuildJet4Definition(table);
  SetRowMaps(format, maps, digest.rows, pages.pages(), with_room, long_values, block);
  WriteDefinitionPages(format, block, definition_page, output);
  return digest;
}

}  // namespace vintrel::jet
