// An encoder that fails is dropped, so the rest of the table is not keyed for that index; the
// reason is kept for the checker to report. Jet 3 text is decoded exactly, as the conversion
// decodes it: a byte the code page leaves undefined stops the conversion, and so the keys.
#include "jet/check/row_keys.h"

#include <xxhash.h>

#include <algorithm>

#include "jet/compact/jet4_conversion.h"
#include "jet/jet_error.h"
#include "jet/text_codec.h"

namespace vintrel::jet {
namespace {

// Jet 3's keys equal Jet 4's for every fixed-size type (checked on every index of the Jet 3
// fixtures); those of text are its own, and no fixture indexes binary values.
const char* UnknownJet3Keys(const TableDefinition& table, const RealIndex& index) {
  for (const IndexColumn& part : index.columns) {
    for (const Column& column : table.columns) {
      if (column.number != part.column_number) continue;
      if (column.holds_text()) return "Jet 3's keys of text are not known here";
      if (column.type == static_cast<uint8_t>(ColumnType::kBinary)) {
        return "Jet 3's keys of binary values are not known here";
      }
    }
  }
  return nullptr;
}

}  // namespace

uint64_t KeyHash(std::span<const uint8_t> key) { return XXH3_64bits(key.data(), key.size()); }

TableKeys::TableKeys(Database& database, const TableDefinition& table)
    : database_(database),
      indexes_(table.real_indexes.size()),
      index_text_(table.real_indexes.size()),
      text_failures_(table.columns.size()) {
  const bool jet3 = database.format().version == Version::kJet3;
  const TableDefinition keyed = jet3 ? Jet4Definition(table) : table;
  for (size_t i = 0; i < indexes_.size(); ++i) {
    const RealIndex& index = table.real_indexes[i];
    try {
      indexes_[i].encoder.emplace(keyed, index);
    } catch (const JetError& error) {
      Fail(indexes_[i], error);
    }
    if (!jet3) continue;
    if (const char* unknown = UnknownJet3Keys(table, index)) indexes_[i].not_compared = unknown;
    for (const IndexColumn& part : index.columns) {
      for (size_t c = 0; c < table.columns.size(); ++c) {
        if (table.columns[c].number == part.column_number && table.columns[c].holds_text()) {
          index_text_[i].push_back(c);
          text_columns_.push_back(c);
        }
      }
    }
  }
  std::sort(text_columns_.begin(), text_columns_.end());
  text_columns_.erase(std::unique(text_columns_.begin(), text_columns_.end()), text_columns_.end());
}

void TableKeys::Fail(IndexKeys& index, const JetError& error) {
  (dynamic_cast<const DamagedError*>(&error) ? index.damage : index.unkeyable) = error.what();
  index.encoder.reset();
}

void TableKeys::Add(uint32_t row, const std::vector<Field>& fields) {
  const std::vector<Field>& keyed = text_columns_.empty() ? fields : ConvertText(fields);
  for (size_t i = 0; i < indexes_.size(); ++i) {
    IndexKeys& index = indexes_[i];
    if (!index.encoder) continue;
    for (size_t c : index_text_[i]) {
      if (!text_failures_[c].empty()) {
        index.unkeyable = text_failures_[c];
        index.encoder.reset();
        break;
      }
    }
    if (!index.encoder) continue;
    try {
      index.encoder->Encode(keyed, key_);
      index.keys.push_back({row, KeyHash(key_), index.encoder->AllNull(keyed)});
    } catch (const JetError& error) {
      Fail(index, error);
    }
  }
}

const std::vector<Field>& TableKeys::ConvertText(const std::vector<Field>& fields) {
  converted_ = fields;
  for (size_t c : text_columns_) {
    text_failures_[c].clear();
    Field& field = converted_[c];
    if (field.null) continue;
    try {
      field.bytes = EncodeJet4Text(database_.text().DecodeExactly(field.bytes), false);
    } catch (const UnsupportedError& error) {
      text_failures_[c] = error.what();
    }
  }
  return converted_;
}

void TableKeys::Finish() {
  for (IndexKeys& index : indexes_) std::sort(index.keys.begin(), index.keys.end());
}

}  // namespace vintrel::jet
