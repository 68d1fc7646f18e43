#include "jet/check/page_owners.h"

#include <string>

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

  // Claims the pages `map_row` marks whose type (and, for data pages, owner field) shows
  // they really are what the map says.
  void ClaimMapped(uint32_t map_row, const PageOwner& owner, uint32_t data_owner) {
    const UsageMap map = ClaimMapStorage(database_.pages(), database_.format(), map_row, owner.table,
                                         [&](uint32_t page, const PageOwner& by) { Claim(page, by); });
    uint32_t from = 0;
    while (std::optional<uint32_t> page = map.NextPage(from)) {
      if (*page >= owners_.size()) {
        RaiseDamaged("usage map", owner.table,
                     "it marks page " + std::to_string(*page) + " beyond the end of the file");
      }
      if (Belongs(*page, owner.use, data_owner)) Claim(*page, owner);
      if (*page == UINT32_MAX) break;
      from = *page + 1;
    }
  }

  std::vector<PageOwner> Take() { return std::move(owners_).Take(); }

 private:
  bool Belongs(uint32_t number, PageUse use, uint32_t data_owner) {
    PageRef page = database_.pages().Get(number, "usage map");
    ByteView view = page->View("usage map");
    switch (use) {
      case PageUse::kTableData:
      case PageUse::kLongValues:
        return page->type() == PageType::kData &&
               view.U32(database_.format().data_table_page) == data_owner;
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
    claims.ClaimMapped(table.usage_map, {PageUse::kTableData, table_page, 0}, table_page);
    for (const LongValueMaps& maps : table.long_value_maps) {
      claims.ClaimMapped(maps.usage_map, {PageUse::kLongValues, table_page, maps.column_number},
                         kLongValueOwner);
    }
    for (uint32_t i = 0; i < table.real_indexes.size(); ++i) {
      claims.ClaimMapped(table.real_indexes[i].usage_map, {PageUse::kIndex, table_page, i}, 0);
    }
  }
  return claims.Take();
}

}  // namespace vintrel::jet
