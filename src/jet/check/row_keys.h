// The keys each index of a table should hold, computed from the table's rows as the checker
// reads them and kept as a 64-bit hash (XXH3) per row and index.
//
// Keys are Jet 4's (index_key.h). A Jet 3 row's text is first decoded from the code page and
// stored as Jet 4 text, as the conversion does, so the keys are those a compaction would
// build. Jet 3 itself stores those same keys for every fixed-size type, but keys of its own
// for text (docs/jet-format.md): a Jet 3 index over text, memo or binary is keyed, which
// tells that a compaction can rebuild it, but its stored keys are not compared.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/jet_error.h"
#include "jet/keys/index_key.h"
#include "jet/pages/field.h"

namespace vintrel::jet {

uint64_t KeyHash(std::span<const uint8_t> key);

struct RowKey {
  uint32_t row;   // row pointer
  uint64_t hash;  // of the key
  bool all_null;  // no key column holds a value: such rows may share a key in a unique index

  friend bool operator<(const RowKey& a, const RowKey& b) { return a.row < b.row; }
};

struct IndexKeys {
  std::optional<IndexKeyEncoder> encoder;  // none once the keys cannot be computed
  std::string unkeyable;     // why not: a type, sort order or character without keys
  std::string damage;        // or a definition that contradicts itself
  std::string not_compared;  // why the computed keys are not compared with the stored ones
  std::vector<RowKey> keys;  // in row order once TableKeys::Finish has run
};

class TableKeys {
 public:
  TableKeys(Database& database, const TableDefinition& table);

  // Keys the row at `row` (a row pointer), given as DecodeRow's fields.
  void Add(uint32_t row, const std::vector<Field>& fields);
  // Sorts each index's keys by row.
  void Finish();

  std::vector<IndexKeys>& indexes() { return indexes_; }

 private:
  void Fail(IndexKeys& index, const JetError& error);
  // The row with its indexed Jet 3 text stored as Jet 4 text; notes each column that fails.
  const std::vector<Field>& ConvertText(const std::vector<Field>& fields);

  Database& database_;
  std::vector<IndexKeys> indexes_;
  std::vector<std::vector<size_t>> index_text_;  // per index, its Jet 3 text columns
  std::vector<size_t> text_columns_;             // all of them, once each
  std::vector<std::string> text_failures_;       // per column, why its text did not convert
  std::vector<Field> converted_;
  std::vector<uint8_t> key_;
};

}  // namespace vintrel::jet
