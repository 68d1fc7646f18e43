// The row's size is worked out before any byte is laid out: first with the small long values
// kept inline, and with all of them out of line only when that does not fit a page. A row that
// cannot fit at all is refused before its long values are stored, so it never writes
// long-value pages that nothing would use.
#include "jet/pages/row_encoder.h"

#include <algorithm>
#include <string>

#include "jet/coding.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page_builder.h"

namespace vintrel::jet {
namespace {
constexpr size_t kNoColumn = SIZE_MAX;

bool IsBoolean(const Column& column) {
  return column.type == static_cast<uint8_t>(ColumnType::kBoolean);
}
}  // namespace

RowEncoder::RowEncoder(const Format& format, const TableDefinition& table)
    : format_(format), table_(table), column_count_(table.max_columns) {
  size_t slots = table.var_column_count;
  for (const Column& column : table.columns) {
    column_count_ = std::max<size_t>(column_count_, column.number + 1u);
    if (IsBoolean(column)) continue;
    if (column.fixed()) {
      fixed_size_ = std::max<size_t>(fixed_size_, column.fixed_offset + column.length);
    } else {
      slots = std::max<size_t>(slots, column.var_index + 1u);
    }
  }
  slot_count_ = table.var_column_count > 0 ? slots : 0;
  by_slot_.assign(slot_count_, kNoColumn);
  for (size_t c = 0; c < table.columns.size(); ++c) {
    const Column& column = table.columns[c];
    if (!column.fixed() && !IsBoolean(column) && slot_count_ > 0) by_slot_[column.var_index] = c;
  }
}

size_t RowEncoder::RowSize(const std::vector<Field>& fields, bool inline_long) const {
  size_t size = 2 + fixed_size_ + (column_count_ + 7) / 8;
  if (slot_count_ > 0) size += 2 * (slot_count_ + 2);
  for (size_t column : by_slot_) {
    if (column == kNoColumn || fields[column].null) continue;
    const Field& field = fields[column];
    if (!table_.columns[column].long_value()) {
      size += field.bytes.size();
    } else if (Inline(field, inline_long)) {
      size += kLongValueHeaderSize + field.bytes.size();
    } else {
      size += kLongValueHeaderSize;
    }
  }
  return size;
}

void RowEncoder::Encode(const std::vector<Field>& fields, const LongValueStore& store,
                        std::vector<uint8_t>& row) {
  const bool inline_long = RowSize(fields, true) <= MaxRowSize(format_);
  const size_t size = RowSize(fields, inline_long);
  if (size > MaxRowSize(format_)) {
    throw UnsupportedError("A row of table " + std::to_string(table_.page) + " needs " +
                           std::to_string(size) + " bytes, more than a page holds.");
  }
  row.assign(2 + fixed_size_, 0);
  PutU16(row, 0, static_cast<uint32_t>(column_count_));
  mask_.assign((column_count_ + 7) / 8, 0);

  for (size_t c = 0; c < table_.columns.size(); ++c) {
    const Column& column = table_.columns[c];
    const Field& field = fields[c];
    const bool set = IsBoolean(column) ? field.flag : !field.null;
    if (set) mask_[column.number / 8] |= static_cast<uint8_t>(1u << (column.number % 8));
    if (field.null || IsBoolean(column) || !column.fixed()) continue;
    if (field.bytes.size() != column.length) {
      throw JetError("A value of column " + std::to_string(column.number) + " of table " +
                     std::to_string(table_.page) + " has " + std::to_string(field.bytes.size()) +
                     " bytes where the column has " + std::to_string(column.length) + ".");
    }
    std::copy(field.bytes.begin(), field.bytes.end(), row.begin() + 2 + column.fixed_offset);
  }

  if (slot_count_ > 0) {
    starts_.resize(slot_count_ + 1);
    for (size_t slot = 0; slot < slot_count_; ++slot) {
      starts_[slot] = row.size();
      const size_t c = by_slot_[slot];
      if (c == kNoColumn || fields[c].null) continue;
      const Field& field = fields[c];
      if (!table_.columns[c].long_value()) {
        row.insert(row.end(), field.bytes.begin(), field.bytes.end());
      } else if (Inline(field, inline_long)) {
        AppendInlineLongValue(field.bytes, row);
      } else {
        LongValueHeader header = store(c, field);
        row.insert(row.end(), header.begin(), header.end());
      }
    }
    starts_[slot_count_] = row.size();
    const size_t table_at = row.size();
    row.resize(row.size() + 2 * (slot_count_ + 2));
    // From the end of the data: end-of-data offset, slot offsets last first, slot count.
    for (size_t i = 0; i <= slot_count_; ++i) {
      PutU16(row, table_at + 2 * (slot_count_ - i), static_cast<uint32_t>(starts_[i]));
    }
    PutU16(row, table_at + 2 * (slot_count_ + 1), static_cast<uint32_t>(slot_count_));
  }
  row.insert(row.end(), mask_.begin(), mask_.end());
}

}  // namespace vintrel::jet
