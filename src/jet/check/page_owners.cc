#include "jet/check/page_owners.h"

#include <string>

#include "jet/table_reader.h"

namespace vintrel::jet {

bool PageOwners::Claim(uint32_t page, const PageOwner& owner) {
  if (page >= owners_.size()) return false;
  PageOwner& current = owners_[page];
  if (current.use != PageUse::kUnowned &&
      (current.use != PageUse::kMapRows || owner.use != PageUse::kMapRows)) {
    return false;
  }
  current = owner;
  return true;
}

namespace {

class Claims {
 public:
  explicit Claims(Database& database)
      : database_(database), owners_(database.pages().page_count()) {}

  void Claim(uint32_t page, const PageOwner& owner) {
    if (!owners_.Claim(page, owner)) {
      RaiseDamaged("usage map", owner.table,
                   page >= owners_.size()
                       ? "it marks page " + std::to_string(page) + " beyond the end of the file"
                       : "page " + std::to_string(page) + " is claimed by two owners");
    }
  }

  // The pages of `table`'s rows are those the reader reads (DataPageWalk), so that the model
  // holds what a compaction copies.
  void ClaimData(const TableDefinition& table) {
    ClaimMapStorage(database_.pages(), database_.format(), table.usage_map, table.page,
                    [&](uint32_t page, const PageOwner& by) { Claim(page, by); });
    DataPageWalk walk(database_.pages(), database_.format(), table);
    while (walk.Next()) Claim(walk.page_number(), {PageUse::kTableData, table.page, 0});
  }

  // Claims the pages `map_row` marks whose type (and, for long values, owner field) shows
  // they really are what the map says.
  void ClaimMapped(uint32_t map_row, const PageOwner& owner) {
    const UsageMap map = ClaimMapStorage(database_.pages(), database_.format(), map_row, owner.table,
                                         [&](uint32_t page, const PageOwner& by) { Claim(page, by); });
    uint32_t from = 0;
    while (std::optional<uint32_t> page = map.NextPage(from)) {
      if (*page >= owners_.size()) {
        RaiseDamaged("usage map", owner.table,
                     "it marks page " + std::to_string(*page) + " beyond the end of the file");
      }
      if (Belongs(*page, owner.use)) Claim(*page, owner);
      if (*page == UINT32_MAX) break;
      from = *page + 1;
    }
  }

  std::vector<PageOwner> Take() { return std::move(owners_).Take(); }

 private:
  bool Belongs(uint32_t number, PageUse use) {
    PageRef page = database_.pages().Get(number, "usage map");
    switch (use) {
      case PageUse::kLongValues:
        return page->type() == PageType::kData &&
               page->View("usage map").U32(database_.format().data_table_page) == kLongValueOwner;
      case PageUse::kIndex:
        return page->type() == PageType::kIndexLeaf ||
               page->type() == PageType::kIndexIntermediate;
      default:
        return false;
    }
  }

  Database& database_;
  PageOwners owners_;
};

}  // namespace

std::vector<PageOwner> MapPageOwners(Database& database) {
  Claims claims(database);
  claims.Claim(0, {PageUse::kDatabaseDefinition, 0, 0});
  claims.Claim(kGlobalMapPage, {PageUse::kGlobalMap, 0, 0});
  for (const CatalogEntry& entry : database.ReadCatalog()) {
    if (entry.type != kCatalogLocalTable) continue;
    const uint32_t table_page = entry.definition_page();
    TableDefinition table = database.ReadTable(table_page);
    for (uint32_t page : table.pages) claims.Claim(page, {PageUse::kTableDefinition, table_page, 0});
    claims.ClaimData(table);
    for (const LongValueMaps& maps : table.long_value_maps) {
      claims.ClaimMapped(maps.usage_map, {PageUse::kLongValues, table_page, maps.column_number});
    }
    for (uint32_t i = 0; i < table.real_indexes.size(); ++i) {
      claims.ClaimMapped(table.real_indexes[i].usage_map, {PageUse::kIndex, table_page, i});
    }
  }
  return claims.Take();
}

}  // namespace vintrel::jet
