// Each count the definition gives is checked against the block before its entries are read, so
// a damaged count fails with the count's name instead of reading past the block. The chain of
// pages is bounded by the file's page count. Columns are kept in column-number order (their
// null-mask bits), not in the order they are stored.
#include "jet/pages/table_definition.h"

#include <algorithm>
#include <utility>

#include "text/utf.h"

namespace vintrel::jet {
namespace {

constexpr const char* kStructure = "table definition";

void CheckCount(const ByteView& block, size_t offset, uint64_t count, size_t entry_size,
                const char* what) {
  if (offset > block.size() || count * entry_size > block.size() - offset) {
    block.Fail(std::to_string(count) + " " + what + " do not fit in the definition");
  }
}

std::u16string ReadName(const ByteView& block, const Format& format, const TextEncoding& text,
                        size_t& offset) {
  size_t length = format.name_length_size == 1 ? block.U8(offset) : block.U16(offset);
  offset += format.name_length_size;
  std::u16string name = text.Decode(block.Sub(offset, length).bytes());
  offset += length;
  return name;
}

}  // namespace

DefinitionChain ReadDefinitionChain(PageCache& pages, const Format& format, uint32_t first) {
  DefinitionChain chain;
  for (uint32_t number = first; number != 0;) {
    if (chain.pages.size() >= pages.page_count()) {
      RaiseDamaged(kStructure, first, "its chain of pages loops");
    }
    PageRef page = pages.GetTyped(number, PageType::kTableDefinition, kStructure);
    ByteView view = page->View(kStructure);
    const size_t skip = chain.pages.empty() ? 0 : format.tdef_continuation_header;
    chain.block.insert(chain.block.end(), view.bytes().begin() + static_cast<ptrdiff_t>(skip),
                       view.bytes().end());
    chain.pages.push_back(number);
    number = view.U32(format.tdef_next_page);
  }
  return chain;
}

TableDefinition ReadTableDefinition(PageCache& pages, const Format& format,
                                    const TextEncoding& text, uint32_t page) {
  DefinitionChain chain = ReadDefinitionChain(pages, format, page);
  ByteView block(chain.block, kStructure, page);

  TableDefinition table{};
  table.page = page;
  table.pages = std::move(chain.pages);
  table.row_count = block.U32(format.tdef_row_count);
  table.next_autonumber = block.U32(format.tdef_autonumber);
  table.table_type = block.U8(format.tdef_table_type);
  table.max_columns = block.U16(format.tdef_max_columns);
  table.var_column_count = block.U16(format.tdef_var_column_count);
  uint16_t column_count = block.U16(format.tdef_column_count);
  uint32_t logical_count = block.U32(format.tdef_logical_index_count);
  uint32_t real_count = block.U32(format.tdef_real_index_count);
  table.usage_map = block.U32(format.tdef_used_pages);
  table.free_space_map = block.U32(format.tdef_free_pages);

  size_t offset = format.tdef_real_index_counts;
  CheckCount(block, offset, real_count, format.real_index_count_entry_size, "real indexes");
  offset += real_count * format.real_index_count_entry_size;

  CheckCount(block, offset, column_count, format.column_entry_size, "columns");
  table.columns.resize(column_count);
  for (Column& column : table.columns) {
    ByteView entry = block.Sub(offset, format.column_entry_size);
    column.type = entry.U8(0);
    column.number = entry.U16(format.column_number);
    column.var_index = entry.U16(format.column_var_index);
    column.sort_order = entry.U16(format.column_sort_order);
    column.precision = entry.U8(format.column_precision);
    column.scale = entry.U8(format.column_scale);
    column.flags = entry.U8(format.column_flags);
    column.compressed_text =
        format.column_compression != 0 && (entry.U8(format.column_compression) & 0x01) != 0;
    column.fixed_offset = entry.U16(format.column_fixed_offset);
    column.length = entry.U16(format.column_length);
    offset += format.column_entry_size;
  }
  for (Column& column : table.columns) column.name = ReadName(block, format, text, offset);
  std::stable_sort(table.columns.begin(), table.columns.end(),
                   [](const Column& a, const Column& b) { return a.number < b.number; });

  CheckCount(block, offset, real_count, format.real_index_entry_size, "real indexes");
  table.real_indexes.resize(real_count);
  for (RealIndex& index : table.real_indexes) {
    ByteView entry = block.Sub(offset, format.real_index_entry_size);
    for (size_t slot = 0; slot < kIndexColumnSlots; ++slot) {
      uint16_t number = entry.U16(format.real_index_columns + slot * 3);
      if (number == kNoIndexColumn) continue;
      index.columns.push_back({number, entry.U8(format.real_index_columns + slot * 3 + 2) == 1});
    }
    index.usage_map = entry.U32(format.real_index_used_pages);
    index.root_page = entry.U32(format.real_index_first_page);
    index.flags = entry.U8(format.real_index_flags);
    table.layout.real_indexes.push_back(offset);
    offset += format.real_index_entry_size;
  }

  CheckCount(block, offset, logical_count, format.logical_index_entry_size, "logical indexes");
  table.logical_indexes.resize(logical_count);
  for (LogicalIndex& index : table.logical_indexes) {
    ByteView entry = block.Sub(offset, format.logical_index_entry_size);
    index.number = entry.U32(format.logical_index_number);
    index.real_index = entry.U32(format.logical_index_real_index);
    index.related_table_type = entry.U8(format.logical_index_related_table_type);
    index.related_index = entry.U32(format.logical_index_related_index);
    index.related_table_page = entry.U32(format.logical_index_related_table);
    index.kind = entry.U8(format.logical_index_kind);
    index.cascade_updates =
        index.foreign_key() && entry.U8(format.logical_index_cascade_updates) != 0;
    index.cascade_deletes =
        index.foreign_key() && entry.U8(format.logical_index_cascade_deletes) != 0;
    if (index.real_index >= real_count) {
      block.Fail("logical index " + std::to_string(index.number) + " names real index " +
                 std::to_string(index.real_index) + " of " + std::to_string(real_count));
    }
    table.layout.logical_indexes.push_back(offset);
    offset += format.logical_index_entry_size;
  }
  for (LogicalIndex& index : table.logical_indexes) {
    index.name = ReadName(block, format, text, offset);
  }
  while (offset + 2 <= block.size()) {
    uint16_t number = block.U16(offset);
    if (number == kEndOfLongValueMaps) {
      table.layout.end = offset + 2;
      break;
    }
    ByteView entry = block.Sub(offset, kLongValueMapEntrySize);
    table.long_value_maps.push_back(
        {number, entry.U32(kLongValueMapUsageMap), entry.U32(kLongValueMapFreeSpaceMap)});
    table.layout.long_value_maps.push_back({number, offset});
    offset += kLongValueMapEntrySize;
  }
  return table;
}

std::string RealIndexName(const TableDefinition& table, size_t index) {
  for (const LogicalIndex& logical : table.logical_indexes) {
    if (logical.real_index == index) return ToUtf8(logical.name);
  }
  return std::to_string(index);
}

}  // namespace vintrel::jet
