// The block is built field by field from the definition's values. The page header's bytes
// are reserved at its start, as WriteDefinitionPages expects; the length field is set there.
#include "jet/pages/definition_builder.h"

#include <cassert>

#include "jet/coding.h"

namespace vintrel::jet {
namespace {
constexpr size_t kDefinitionMarkOffset = 12;
constexpr size_t kAutonumberFlagOffset = 24;
constexpr size_t kColumnNumberAgain = 9;
constexpr uint8_t kRealIndexFlagsAlways = 0x80;
constexpr uint8_t kAscending = 0x01;
constexpr uint8_t kDescending = 0x02;

class BlockWriter {
 public:
  explicit BlockWriter(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  // Appends `size` zero bytes and returns their offset.
  size_t Reserve(size_t size) {
    const size_t at = bytes_.size();
    bytes_.resize(at + size);
    return at;
  }
  void U8(size_t at, uint8_t value) { bytes_[at] = value; }
  void U16(size_t at, uint32_t value) { PutU16(bytes_, at, value); }
  void U32(size_t at, uint32_t value) { PutU32(bytes_, at, value); }
  void Name(const std::u16string& name) {
    const size_t at = Reserve(2 + 2 * name.size());
    U16(at, static_cast<uint32_t>(2 * name.size()));
    for (size_t i = 0; i < name.size(); ++i) U16(at + 2 + 2 * i, name[i]);
  }

 private:
  std::vector<uint8_t>& bytes_;
};

}  // namespace

DefinitionBlock BuildJet4Definition(const TableDefinition& table) {
  const Format& format = kJet4Format;
  DefinitionBlock block;
  BlockWriter out(block.bytes);
  out.Reserve(format.tdef_real_index_counts);
  out.U32(kDefinitionMarkOffset, kJet4DefinitionMark);
  out.U32(format.tdef_autonumber, table.next_autonumber);
  out.U8(kAutonumberFlagOffset, 0x01);
  out.U8(format.tdef_table_type, table.table_type);
  out.U16(format.tdef_max_columns, table.max_columns);
  out.U16(format.tdef_var_column_count, table.var_column_count);
  out.U16(format.tdef_column_count, static_cast<uint32_t>(table.columns.size()));
  out.U32(format.tdef_logical_index_count, static_cast<uint32_t>(table.logical_indexes.size()));
  out.U32(format.tdef_real_index_count, static_cast<uint32_t>(table.real_indexes.size()));
  out.Reserve(table.real_indexes.size() * format.real_index_count_entry_size);

  for (const Column& column : table.columns) {
    const size_t at = out.Reserve(format.column_entry_size);
    out.U8(at, column.type);
    out.U32(at + 1, kJet4DefinitionMark);
    out.U16(at + format.column_number, column.number);
    out.U16(at + format.column_var_index, column.var_index);
    out.U16(at + kColumnNumberAgain, column.number);
    if (column.type == static_cast<uint8_t>(ColumnType::kNumeric)) {
      out.U8(at + format.column_precision, column.precision);
      out.U8(at + format.column_scale, column.scale);
    } else {
      out.U16(at + format.column_sort_order, column.sort_order);
    }
    out.U8(at + format.column_flags, column.flags);
    out.U8(at + format.column_compression, column.compressed_text ? 0x01 : 0x00);
    out.U16(at + format.column_fixed_offset, column.fixed() ? column.fixed_offset : 0);
    out.U16(at + format.column_length, column.length);
  }
  for (const Column& column : table.columns) out.Name(column.name);

  for (const RealIndex& index : table.real_indexes) {
    assert(index.columns.size() <= kIndexColumnSlots);
    const size_t at = out.Reserve(format.real_index_entry_size);
    block.layout.real_indexes.push_back(at);
    out.U32(at, kJet4RealIndexMark);
    for (size_t slot = 0; slot < kIndexColumnSlots; ++slot) {
      const size_t field = at + format.real_index_columns + 3 * slot;
      if (slot < index.columns.size()) {
        out.U16(field, index.columns[slot].column_number);
        out.U8(field + 2, index.columns[slot].ascending ? kAscending : kDescending);
      } else {
        out.U16(field, kNoIndexColumn);
      }
    }
    out.U8(at + format.real_index_flags, static_cast<uint8_t>(index.flags | kRealIndexFlagsAlways));
  }
  for (const LogicalIndex& index : table.logical_indexes) {
    const size_t at = out.Reserve(format.logical_index_entry_size);
    block.layout.logical_indexes.push_back(at);
    out.U32(at, kJet4DefinitionMark);
    out.U32(at + format.logical_index_number, index.number);
    out.U32(at + format.logical_index_real_index, index.real_index);
    out.U8(at + format.logical_index_related_table_type, index.related_table_type);
    out.U32(at + format.logical_index_related_index, index.related_index);
    out.U32(at + format.logical_index_related_table, index.related_table_page);
    out.U8(at + format.logical_index_cascade_updates, index.cascade_updates ? 1 : 0);
    out.U8(at + format.logical_index_cascade_deletes, index.cascade_deletes ? 1 : 0);
    out.U8(at + format.logical_index_kind, index.kind);
  }
  for (const LogicalIndex& index : table.logical_indexes) out.Name(index.name);

  for (const LongValueMaps& maps : table.long_value_maps) {
    const size_t at = out.Reserve(kLongValueMapEntrySize);
    out.U16(at, maps.column_number);
    block.layout.long_value_maps.push_back({maps.column_number, at});
  }
  out.U16(out.Reserve(2), kEndOfLongValueMaps);
  block.layout.end = block.bytes.size();
  return block;
}

}  // namespace vintrel::jet
