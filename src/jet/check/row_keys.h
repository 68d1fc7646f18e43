// The keys each index of a table should hold, computed from the table's rows as the checker
// reads them (index_key.h) and kept as a 64-bit hash (XXH3) per row and index.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/index_key.h"
#include "jet/jet_error.h"
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
  std::vector<RowKey> keys;  // in row order once TableKeys::Finish has run
};

class TableKeys {
 public:
  explicit TableKeys(const TableDefinition& table);

  // Keys the row at `row` (a row pointer), given as DecodeRow's fields.
  void Add(uint32_t row, const std::vector<Field>& fields);
  // Sorts each index's keys by row.
  void Finish();

  std::vector<IndexKeys>& indexes() { return indexes_; }

 private:
  void Fail(IndexKeys& index, const JetError& error);

  std::vector<IndexKeys> indexes_;
  std::vector<uint8_t> key_;
};

}  // namespace vintrel::jet
