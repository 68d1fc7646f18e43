// Lays out one table row in Jet 4 form from its decoded fields, the inverse of DecodeRow
// (row_decoder.h, which also draws the layout):
//
//   (2) column count | fixed columns at their offsets | variable columns in slot order
//   | (2) end of data | (2 each) slot offsets, last slot first | (2) slot count | null mask
//
// A table without variable columns has neither the offsets nor the slot count. Columns
// dropped from the table leave their fixed bytes zero and their variable slots empty.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "jet/pages/field.h"
#include "jet/pages/long_value_writer.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {

// Long values up to this size stay inside the row when the row has room for them.
inline constexpr size_t kMaxInlineLongValue = 64;

// Stores the long value of column `column` (an index into the definition's columns), whole
// or by reference, out of line and returns its header.
using LongValueStore = std::function<LongValueHeader(size_t column, const Field& field)>;

class RowEncoder {
 public:
  RowEncoder(const Format& format, const TableDefinition& table);

  // `fields` holds one field per column of the definition. A long value by reference is
  // stored out of line: the caller reads whole those it would have the row hold. Raises when
  // a fixed field has the wrong size or the row cannot fit a page.
  void Encode(const std::vector<Field>& fields, const LongValueStore& store,
              std::vector<uint8_t>& row);

 private:
  size_t RowSize(const std::vector<Field>& fields, bool inline_long) const;
  bool Inline(const Field& field, bool inline_long) const {
    return inline_long && !field.by_reference && field.bytes.size() <= kMaxInlineLongValue;
  }

  const Format& format_;
  const TableDefinition& table_;
  size_t column_count_ = 0;  // bits of the null mask
  size_t fixed_size_ = 0;
  size_t slot_count_ = 0;
  std::vector<size_t> by_slot_;  // column index per variable slot, or SIZE_MAX for none
  std::vector<uint8_t> mask_;
  std::vector<size_t> starts_;
};

}  // namespace vintrel::jet
