// A column numbered beyond the row's column count was added after the row was written and
// reads as null, as does a variable column whose slot the row does not have.
#include "jet/pages/row_decoder.h"

#include <string>

#include "jet/pages/long_value.h"

namespace vintrel::jet {
namespace {

// The row's variable-offset table: `var_count + 1` offsets, the last one ending the data.
void ReadVarOffsets(const ByteView& row, const Format& format, size_t mask_size,
                    size_t var_count, std::vector<size_t>& offsets) {
  offsets.clear();
  const size_t width = format.row_column_count_size;
  const size_t count_at = row.size() - mask_size - width;
  if (!format.row_has_jump_table) {
    for (size_t i = 0; i <= var_count; ++i) {
      if (count_at < width * (i + 1)) row.Fail("the variable-offset table overruns the row");
      offsets.push_back(row.U16(count_at - width * (i + 1)));
    }
    return;
  }
  size_t jumps = (row.size() - 1) / 256;
  if (count_at < jumps + var_count + 1) row.Fail("the variable-offset table overruns the row");
  const size_t table_at = count_at - jumps - 1;  // slot 0; later slots precede it
  // The jump table is sized by the row's length; when the offsets never reach the last
  // multiple of 256 its last entry is filler.
  if ((table_at - var_count) / 256 < jumps) --jumps;
  size_t passed = 0;
  for (size_t i = 0; i <= var_count; ++i) {
    while (passed < jumps && row.U8(count_at - 1 - passed) <= i) ++passed;
    offsets.push_back(row.U8(table_at - i) + 256 * passed);
  }
}

}  // namespace

void DecodeRow(PageCache& pages, const Format& format, const TableDefinition& table,
               const ByteView& row, std::vector<size_t>& var_offsets,
               std::vector<Field>& fields, LongValues long_values) {
  const size_t width = format.row_column_count_size;
  const size_t column_count = width == 1 ? row.U8(0) : row.U16(0);
  const size_t mask_size = (column_count + 7) / 8;
  if (row.size() < width + mask_size) row.Fail("a row is shorter than its null mask");
  const size_t mask_at = row.size() - mask_size;

  size_t var_count = 0;
  if (table.var_column_count > 0) {
    if (row.size() < width * 2 + mask_size) row.Fail("a row has no variable-column count");
    size_t count_at = mask_at - width;
    var_count = width == 1 ? row.U8(count_at) : row.U16(count_at);
    ReadVarOffsets(row, format, mask_size, var_count, var_offsets);
  }

  fields.resize(table.columns.size());
  for (size_t c = 0; c < table.columns.size(); ++c) {
    const Column& column = table.columns[c];
    Field& field = fields[c];
    field.bytes.clear();
    field.flag = false;
    field.null = true;
    field.by_reference = false;
    bool has_bit = column.number < mask_size * 8;
    bool bit = has_bit && (row.U8(mask_at + column.number / 8) >> (column.number % 8)) & 1;
    if (column.type == static_cast<uint8_t>(ColumnType::kBoolean)) {
      field.null = false;
      field.flag = bit;
      continue;
    }
    // Columns added after the row was written are absent from it.
    if (!bit || column.number >= column_count) continue;
    ByteView data;
    if (column.fixed()) {
      data = row.Sub(width + column.fixed_offset, column.length);
    } else {
      if (column.var_index >= var_count) continue;
      size_t start = var_offsets[column.var_index];
      size_t end = var_offsets[column.var_index + 1];
      if (start > end || end > mask_at) {
        row.Fail("variable column " + std::to_string(column.number) + " has bounds " +
                 std::to_string(start) + ".." + std::to_string(end));
      }
      data = row.Sub(start, end - start);
    }
    field.null = false;
    if (!column.long_value()) {
      field.bytes.assign(data.bytes().begin(), data.bytes().end());
    } else if (long_values == LongValues::kWhole) {
      ReadLongValue(pages, format, data, field.bytes);
    } else {
      // A long value's header is checked here, where its row's page can be named.
      LongValuePieces header_checked(pages, format, data);
      field.bytes.assign(data.bytes().begin(), data.bytes().end());
      field.by_reference = true;
    }
  }
}

}  // namespace vintrel::jet
