// The index survey walks the whole tree level by level, not only the path the copy takes to
// the leaves, so that a damaged page anywhere in it is found and named. An index page names
// the table it belongs to (bytes 4..7), so a child pointer into another table's index is
// found as well.
#include "jet/compact/table_survey.h"

#include <string>
#include <vector>

#include "jet/coding.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page.h"
#include "jet/pages/index_page.h"
#include "jet/table_reader.h"

namespace vintrel::jet {
namespace {

constexpr const char* kIndexStructure = "index page";

// Every page of the tree is an index page of the table, each level all of one kind, and the
// tree has no more pages than the file. Intermediate pages are read whole, for their
// children; leaves only by their header, as the copy reads their entries anyway, where
// entries out of order or naming no row of the table are found.
void WalkTree(PageCache& pages, const Format& format, uint32_t table, uint32_t root) {
  std::vector<uint32_t> level{root};
  uint64_t visited = 0;
  while (!level.empty()) {
    std::vector<uint32_t> below;
    PageType kind = PageType::kIndexLeaf;
    for (size_t i = 0; i < level.size(); ++i) {
      if (++visited > pages.page_count()) RaiseDamaged(kIndexStructure, root, "the index's pages form a loop");
      PageRef page = pages.Get(level[i], kIndexStructure);
      const ByteView view = page->View(kIndexStructure);
      if (page->type() != PageType::kIndexLeaf && page->type() != PageType::kIndexIntermediate) {
        view.Fail("the page has type " + std::to_string(view.U8(0)) + ", not an index page");
      }
      if (view.U32(format.data_table_page) != table) {
        view.Fail("the page belongs to table " + std::to_string(view.U32(format.data_table_page)) +
                  ", not to table " + std::to_string(table));
      }
      if (i == 0) kind = page->type();
      if (page->type() != kind) RaiseDamaged(kIndexStructure, level[i], "leaf and intermediate pages share a level");
      if (kind == PageType::kIndexLeaf) continue;
      const IndexPage read = ReadIndexPage(pages, format, level[i]);
      for (const IndexEntry& entry : read.entries) below.push_back(entry.child_page);
      if (read.tail_page != 0) below.push_back(read.tail_page);
    }
    level = std::move(below);
  }
}

}  // namespace

std::optional<std::string> FindIndexDamage(Database& source, const TableDefinition& table,
                                           const RealIndex& index) {
  try {
    WalkTree(source.pages(), source.format(), table.page, index.root_page);
  } catch (const DamagedError& error) {
    return error.damage();
  }
  return std::nullopt;
}

TableSurvey SurveyTable(Database& source, const TableDefinition& table) {
  TableSurvey survey;
  PageCache& pages = source.pages();
  if (std::optional<std::string> damage = UsageMapDamage(pages, source.format(), table.usage_map, table.page)) {
    survey.map_damage = *damage;
    survey.owned_pages = DataPagesOwnedBy(pages, source.format(), table.page);
  }
  // The copy writes these anew without reading them; a damaged one is only said. Jet leaves
  // some long-value columns without a free-space map (0 in its place).
  auto other_map = [&](uint32_t map, const std::string& what) {
    if (map == 0) return;
    if (std::optional<std::string> damage = UsageMapDamage(pages, source.format(), map, table.page)) {
      survey.other_map_damage.push_back(what + ": " + *damage);
    }
  };
  other_map(table.free_space_map, "the free-space map");
  for (const LongValueMaps& maps : table.long_value_maps) {
    const std::string column = "column " + std::to_string(maps.column_number) + "'s long values";
    other_map(maps.usage_map, "the usage map of " + column);
    other_map(maps.free_space_map, "the free-space map of " + column);
  }
  for (const RealIndex& index : table.real_indexes) {
    survey.index_damage.push_back(FindIndexDamage(source, table, index).value_or(""));
    survey.rebuild.push_back(!survey.index_damage.back().empty());
  }
  return survey;
}

}  // namespace vintrel::jet
