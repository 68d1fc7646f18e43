// The usage map says which pages to visit, but a page counts only if it is a data page that the
// table owns, since a map can still mark pages the table has given up. Fields are decoded into
// the caller's vector and the reader's offset table, both reused from row to row.
#include "jet/table_reader.h"

#include <string>

namespace vintrel::jet {
namespace {

constexpr const char* kStructure = "data page";

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

std::optional<uint32_t> DataPageWalk::NextListed() {
  if (listed_) {
    if (listed_next_ == listed_->size()) return std::nullopt;
    page_number_ = (*listed_)[listed_next_++];
    return page_number_;
  }
  if (started_ && page_number_ == UINT32_MAX) return std::nullopt;
  std::optional<uint32_t> next = map_->NextPage(started_ ? page_number_ + 1 : 0);
  started_ = true;
  if (next && *next >= pages_.page_count()) {
    page_number_ = UINT32_MAX;
    RaiseDamaged("usage map", table_.page,
                 "it marks page " + std::to_string(*next) + " beyond the end of the file");
  }
  if (next) page_number_ = *next;
  return next;
}

std::optional<DataPage> DataPageWalk::Next() {
  while (std::optional<uint32_t> next = NextListed()) {
    if (std::optional<DataPage> data = Read(*next)) return data;
  }
  return std::nullopt;
}

std::optional<DataPage> DataPageWalk::Read(uint32_t number) {
  page_number_ = number;
  PageRef page = pages_.Get(number, kStructure);
  if (!KnownPageType(page, number)) {
    page->View(kStructure).Fail("the page has type " + std::to_string(static_cast<int>(page->type())) +
                                ", not a data page");
  }
  // A map may still mark pages the table has given up; only its own data pages count.
  if (page->type() != PageType::kData) return std::nullopt;
  DataPage data(page, format_, kStructure);
  if (data.owner() == table_.page) return data;
  foreign_pages_.push_back(number);
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
