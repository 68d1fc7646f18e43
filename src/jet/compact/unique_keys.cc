// A repeated key is met only once the entries are sorted, when the rows behind it are long
// written; the source is then read again for the rows holding that key, prepared as the row
// copy prepares them, so that the refusal can show their values.
#include "jet/compact/unique_keys.h"

#include <algorithm>
#include <string>

#include "jet/jet_error.h"
#include "jet/keys/index_key.h"
#include "jet/table_reader.h"
#include "jet/text_codec.h"
#include "jet/value_format.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {

std::string IndexNames(const TableDefinition& table, size_t index) {
  std::string names;
  for (const LogicalIndex& logical : table.logical_indexes) {
    if (logical.real_index != index) continue;
    if (!names.empty()) names += ", ";
    names += "'" + ToUtf8(logical.name) + "'";
  }
  return names.empty() ? "number " + std::to_string(index) : names;
}

std::string FieldText(const Column& column, const Field& field) {
  if (column.type == static_cast<uint8_t>(ColumnType::kBoolean)) return field.flag ? "Yes" : "No";
  if (field.null) return "Null";
  if (!column.holds_text()) return "0x" + FormatHex(field.bytes);
  std::string text(1, '\'');
  text += ToUtf8(DecodeJet4Text(field.bytes));
  text += '\'';
  return text;
}

// The key columns of a row, by name: "Name 'text', Count 0x0500".
std::string KeyValues(const TableDefinition& table, const RealIndex& index,
                      const std::vector<Field>& fields) {
  std::string values;
  for (const IndexColumn& part : index.columns) {
    for (size_t c = 0; c < table.columns.size(); ++c) {
      if (table.columns[c].number != part.column_number) continue;
      if (!values.empty()) values += ", ";
      values += ToUtf8(table.columns[c].name) + " " + FieldText(table.columns[c], fields[c]);
    }
  }
  return values;
}

}  // namespace

void RaiseRepeatedKey(const CopyContext& copy, size_t index, std::span<const uint8_t> key) {
  const RealIndex& real = copy.table.real_indexes[index];
  IndexKeyEncoder encoder(copy.table, real);
  std::vector<std::string> rows;
  std::vector<Field> fields;
  std::vector<uint8_t> computed;
  TableReader reader(copy.source.pages(), copy.source.format(), copy.source_table);
  while (rows.size() < 2 && reader.Next(fields)) {
    copy.renumbering.RenumberIds(copy.id_columns, fields);
    if (copy.text) copy.text->Apply(fields);
    encoder.Encode(fields, computed);
    if (std::equal(computed.begin(), computed.end(), key.begin(), key.end())) {
      std::string values(1, '(');
      values += KeyValues(copy.table, real, fields);
      values += ')';
      rows.push_back(std::move(values));
    }
  }
  std::string which;
  for (const std::string& row : rows) which += (which.empty() ? ": " : " and ") + row;
  throw UnsupportedError("table " + ToUtf8(copy.name) +
                         ": two rows have one key in its unique index " +
                         IndexNames(copy.table, index) +
                         ", which Jet 4 would count as one entry" + which + ".");
}

}  // namespace vintrel::jet
