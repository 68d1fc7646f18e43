// An encoder that fails is dropped, so the rest of the table is not keyed for that index; the
// reason is kept for the checker to report.
#include "jet/check/row_keys.h"

#include <xxhash.h>

#include <algorithm>

#include "jet/jet_error.h"

namespace vintrel::jet {

uint64_t KeyHash(std::span<const uint8_t> key) { return XXH3_64bits(key.data(), key.size()); }

TableKeys::TableKeys(const TableDefinition& table) : indexes_(table.real_indexes.size()) {
  for (size_t i = 0; i < indexes_.size(); ++i) {
    try {
      indexes_[i].encoder.emplace(table, table.real_indexes[i]);
    } catch (const JetError& error) {
      Fail(indexes_[i], error);
    }
  }
}

void TableKeys::Fail(IndexKeys& index, const JetError& error) {
  (dynamic_cast<const DamagedError*>(&error) ? index.damage : index.unkeyable) = error.what();
  index.encoder.reset();
}

void TableKeys::Add(uint32_t row, const std::vector<Field>& fields) {
  for (IndexKeys& index : indexes_) {
    if (!index.encoder) continue;
    try {
      index.encoder->Encode(fields, key_);
      index.keys.push_back({row, KeyHash(key_), index.encoder->AllNull(fields)});
    } catch (const JetError& error) {
      Fail(index, error);
    }
  }
}

void TableKeys::Finish() {
  for (IndexKeys& index : indexes_) std::sort(index.keys.begin(), index.keys.end());
}

}  // namespace vintrel::jet
