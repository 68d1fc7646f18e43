// Who owns each page of the file: the one model of page ownership. The integrity check
// builds it as it checks, from definitions, maps and index trees, and turns every refused
// claim into a fault; MapPageOwners builds it from the definitions and usage maps alone.
// Pages nobody claims are orphaned (a dropped table whose pages were never marked free).
#pragma once

#include <cstdint>
#include <vector>

#include "jet/database.h"
#include "jet/pages/usage_map.h"

namespace vintrel::jet {

enum class PageUse : uint8_t {
  kUnowned,
  kFree,  // marked free in the global map
  kDatabaseDefinition,
  kGlobalMap,        // page 1
  kMapRows,          // data pages holding usage-map rows; every map shares them
  kMapPages,         // the bitmap pages of `table`'s reference-form maps (0: the global map's)
  kTableDefinition,  // `table`'s definition chain
  kTableData,        // rows of `table`
  kLongValues,       // values of `table`'s column `part`
  kIndex,            // pages of `table`'s real index `part`
};

struct PageOwner {
  PageUse use = PageUse::kUnowned;
  uint32_t table = 0;  // definition page of the owning table
  uint32_t part = 0;

  friend bool operator==(const PageOwner&, const PageOwner&) = default;
};

// One owner per page of a file of `page_count` pages.
class PageOwners {
 public:
  explicit PageOwners(uint32_t page_count) : owners_(page_count) {}

  uint32_t size() const { return static_cast<uint32_t>(owners_.size()); }
  const PageOwner& operator[](uint32_t page) const { return owners_[page]; }

  // Gives `page` to `owner`. Refuses, changing nothing, a page past the end of the file
  // and a page somebody already owns; only map rows share their pages.
  bool Claim(uint32_t page, const PageOwner& owner);

  std::vector<PageOwner> Take() && { return std::move(owners_); }

 private:
  std::vector<PageOwner> owners_;
};

// Claims, through `claim(page, owner)`, the pages holding the map in row `map_row` of the
// table defined at `table`: the row's page first (map rows share pages; page 1 holds the
// global map's own), then in the reference form the map's bitmap pages; returns the map.
template <typename ClaimPage>
UsageMap ClaimMapStorage(PageCache& pages, const Format& format, uint32_t map_row,
                         uint32_t table, ClaimPage claim) {
  if (const uint32_t row_page = RowPointer::FromU32(map_row).page; row_page != kGlobalMapPage) {
    claim(row_page, PageOwner{PageUse::kMapRows, 0, 0});
  }
  UsageMap map(pages, format, map_row, table);
  for (uint32_t page : map.MapPages()) claim(page, PageOwner{PageUse::kMapPages, table, 0});
  return map;
}

// The owners of every page as the definitions and usage maps tell them; only the pages of
// a map whose type (and owner field) shows they are what the map says are claimed, as a
// map can lag behind the reuse of a page. A table's data pages are those DataPageWalk gives,
// so a page its map marks that is of no page type raises, as it does for the reader. Raises
// on a page claimed twice.
std::vector<PageOwner> MapPageOwners(Database& database);

}  // namespace vintrel::jet
