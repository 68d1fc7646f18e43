// Jet 3's General sort order and Jet 4's have the same code, 1033, in the database definition
// page and in text column descriptors; any other sort order is refused, as its keys are
// unknown here. Jet 4 compresses a memo value only up to 1024 characters.
#include "jet/compact/jet4_conversion.h"

#include "jet/compact/property_list.h"
#include "jet/jet_error.h"
#include "jet/keys/index_key.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {
constexpr size_t kMaxCompressedMemo = 1024;

}  // namespace

std::string ConversionNotSupported(const std::string& path, const std::string& detail) {
  return "Converting the Jet 3 database '" + path + "' to the Jet 4 format is not supported: " +
         detail;
}

TableDefinition Jet4Definition(const TableDefinition& jet3) {
  TableDefinition table = jet3;
  for (Column& column : table.columns) {
    column.compressed_text = column.holds_text() && table.table_type != kSystemTableType;
    if (column.type == static_cast<uint8_t>(ColumnType::kText)) column.length *= 2;
  }
  return table;
}

void RequireConvertible(const DatabaseHeader& header, const std::vector<CatalogEntry>& catalog,
                        const std::map<uint32_t, TableDefinition>& definitions) {
  if (header.sort_order != kGeneralSortOrder) {
    throw UnsupportedError("its sort order " + std::to_string(header.sort_order) + " is not General (" +
                           std::to_string(kGeneralSortOrder) + ").");
  }
  for (const CatalogEntry& entry : catalog) {
    if (entry.type != kCatalogLocalTable) continue;
    // What is checked is the same in the Jet 4 form, which the copy makes.
    const TableDefinition& table = definitions.at(entry.definition_page());
    const std::string where = "table " + ToUtf8(entry.name) + ": ";
    for (const Column& column : table.columns) {
      const std::string named = where + "column " + ToUtf8(column.name);
      if (column.holds_text() && column.sort_order != kGeneralSortOrder) {
        throw UnsupportedError(named + " has the text sort order " + std::to_string(column.sort_order) + ".");
      }
      // Its doubled length would move the fixed columns after it.
      if (column.type == static_cast<uint8_t>(ColumnType::kText) && column.fixed()) {
        throw UnsupportedError(named + " is text of fixed length.");
      }
    }
    try {
      for (const RealIndex& index : table.real_indexes) IndexKeyEncoder(table, index);
    } catch (const UnsupportedError& e) {
      throw UnsupportedError(where + e.what());
    }
  }
}

TextConversion::TextConversion(const TableDefinition& copy_table, const TextEncoding& source_text)
    : table_(copy_table), source_text_(source_text) {
  for (size_t c = 0; c < copy_table.columns.size(); ++c) {
    if (copy_table.columns[c].holds_text()) text_columns_.push_back(c);
    if (HoldsPropertyLists(copy_table, copy_table.columns[c])) property_columns_.push_back(c);
  }
}

void TextConversion::Apply(std::vector<Field>& fields) {
  for (size_t c : text_columns_) {
    Field& field = fields[c];
    if (field.null) continue;
    const Column& column = table_.columns[c];
    decoded_ = source_text_.DecodeExactly(field.bytes);
    const bool compress = column.compressed_text &&
                          (column.type == static_cast<uint8_t>(ColumnType::kText) ||
                           decoded_.size() <= kMaxCompressedMemo);
    field.bytes = EncodeJet4Text(decoded_, compress);
  }
  for (size_t c : property_columns_) {
    Field& field = fields[c];
    if (!field.null && IsJet3PropertyList(field.bytes)) {
      field.bytes = Jet4PropertyList(field.bytes, source_text_);
    }
  }
}

}  // namespace vintrel::jet
