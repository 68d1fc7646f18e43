// The usage map says which pages to visit, but a page counts only if it is a data page that the
// table owns, since a map can still mark pages the table has given up. Fields are decoded into
// the caller's vector and the reader's offset table, both reused from row to row. A column
// numbered beyond the row's column count was added after the row was written and reads as null.
#include "jet/table_reader.h"

#include <string>

#include "jet/pages/long_value.h"

namespace vintrel::jet {
namespace {

constexpr const char* kStructure = "data page";

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

namespace {

// What a page a table's map marks may be besides its own data page: a page the table gave up
// and something else took over.
bool KnownPageType(const PageRef& page, uint32_t number) {
  switch (page->type()) {
    case PageType::kDatabaseDefinition: return number == 0;
    case PageType::kData:
    case PageType::kTableDefinition:
    case PageType::kIndexIntermediate:
    case PageType::kIndexLeaf:
    case PageType::kUsageMap: return true;
  }
  return false;
}

}  // namespace

DataPageWalk::DataPageWalk(PageCache& pages, const Format& format, const TableDefinition& table,
                           const std::vector<uint32_t>* listed)
    : pages_(pages), format_(format), table_(table), listed_(listed) {
  if (!listed_) map_.emplace(pages, format, table.usage_map, table.page);
}

std::optional<uint32_t> DataPageWalk::NextCandidate() {
  if (listed_) {
    if (listed_next_ == listed_->size()) return std::nullopt;
    return (*listed_)[listed_next_++];
  }
  if (started_ && page_number_ == UINT32_MAX) return std::nullopt;
  std::optional<uint32_t> next = map_->NextPage(started_ ? page_number_ + 1 : 0);
  started_ = true;
  if (next && *next >= pages_.page_count()) {
    page_number_ = UINT32_MAX;
    RaiseDamaged("usage map", table_.page,
                 "it marks page " + std::to_string(*next) + " beyond the end of the file");
  }
  return next;
}

std::optional<DataPage> DataPageWalk::Next() {
  while (std::optional<uint32_t> next = NextCandidate()) {
    page_number_ = *next;
    PageRef page = pages_.Get(*next, kStructure);
    if (!KnownPageType(page, *next)) {
      page->View(kStructure).Fail("the page has type " + std::to_string(static_cast<int>(page->type())) +
                                  ", not a data page");
    }
    // A map may still mark pages the table has given up; only its own data pages count.
    if (page->type() != PageType::kData) continue;
    DataPage data(page, format_, kStructure);
    if (data.owner() == table_.page) return data;
    foreign_pages_.push_back(*next);
  }
  return std::nullopt;
}

TableReader::TableReader(PageCache& pages, const Format& format, const TableDefinition& table,
                         const std::vector<uint32_t>* listed_pages, LongValues long_values)
    : pages_(pages),
      format_(format),
      table_(table),
      pages_walk_(pages, format, table, listed_pages),
      long_values_(long_values) {}

bool TableReader::Next(std::vector<Field>& fields) {
  while (true) {
    if (!page_ || next_row_ >= page_->row_count()) {
      page_.reset();
      reading_page_ = true;
      std::optional<DataPage> next = pages_walk_.Next();
      reading_page_ = false;
      if (!next) return false;
      page_.emplace(std::move(*next));
      next_row_ = 0;
      continue;
    }
    RowSlot slot = page_->Row(next_row_++);
    if (slot.deleted) continue;
    ByteView row = slot.bytes;
    PageRef keep;
    if (slot.moved) row = FollowMovedRow(pages_, format_, row, keep);
    vintrel::jet::DecodeRow(pages_, format_, table_, row, var_offsets_, fields, long_values_);
    return true;
  }
}

std::optional<std::string> UsageMapDamage(PageCache& pages, const Format& format, uint32_t map_row, uint32_t owner) {
  try {
    const UsageMap map(pages, format, map_row, owner);
    for (std::optional<uint32_t> page = map.NextPage(0); page; page = map.NextPage(*page + 1)) {
      if (*page >= pages.page_count()) {
        RaiseDamaged("usage map", owner, "it marks page " + std::to_string(*page) + " beyond the end of the file");
      }
    }
  } catch (const DamagedError& error) {
    return error.damage();
  }
  return std::nullopt;
}

std::vector<uint32_t> DataPagesOwnedBy(PageCache& pages, const Format& format, uint32_t table) {
  // A global map that does not read cannot tell free pages, and then every owned page counts.
  std::optional<UsageMap> free_pages;
  auto marked_free = [&](uint32_t number) {
    try {
      if (!free_pages) free_pages.emplace(pages, format, PackRowPointer(kGlobalMapPage, 0), kGlobalMapPage);
      return free_pages->NextPage(number, number + 1).has_value();
    } catch (const DamagedError&) {
      return false;
    }
  };
  std::vector<uint32_t> owned;
  for (uint32_t number = 1; number < pages.page_count(); ++number) {
    PageRef page = pages.Get(number, kStructure);
    if (page->type() != PageType::kData) continue;
    if (page->View(kStructure).U32(format.data_table_page) != table) continue;
    if (!marked_free(number)) owned.push_back(number);
  }
  return owned;
}

}  // namespace vintrel::jet
