// Rewrites a table's definition from the source's bytes, changing only what the copy moved:
// the row count, the usage and free-space maps of the data and long-value pages, and the
// related-table pages of foreign keys. A long-value column the definition gives no map is
// refused, as the copy would have pages no map names.
#include "jet/compact/definition_rewrite.h"

#include <algorithm>
#include <string>
#include <vector>

#include "jet/jet_error.h"

namespace vintrel::jet {

void RewriteDefinition(const CopyContext& copy, const CopiedRows& rows, DefinitionBlock& block) {
  std::vector<uint32_t> with_room;
  if (rows.open_page) with_room.push_back(*rows.open_page);
  SetTableFields(block, copy.format, static_cast<uint32_t>(rows.count),
                 copy.maps.AddMapOf(rows.data_pages), copy.maps.AddMapOf(with_room));
  for (size_t i = 0; i < block.long_value_maps.size(); ++i) {
    auto found = rows.long_values.find(block.long_value_maps[i].column_number);
    std::vector<uint32_t> pages, open;
    if (found != rows.long_values.end()) {
      pages = found->second.pages();
      if (auto page = found->second.open_page()) open.push_back(*page);
    }
    SetLongValueMaps(block, i, copy.maps.AddMapOf(pages), copy.maps.AddMapOf(open));
  }
  for (const auto& written : rows.long_values) {
    const uint16_t column = written.first;
    bool mapped = std::any_of(
        block.long_value_maps.begin(), block.long_value_maps.end(),
        [column](const LongValueMapOffsets& maps) { return maps.column_number == column; });
    if (!mapped) {
      throw JetError("Table " + std::to_string(copy.table.page) + " has long values in column " +
                     std::to_string(column) + ", which its definition gives no map.");
    }
  }
  RenumberRelatedTables(block, copy.format,
                        [&copy](uint32_t old) { return copy.renumbering.NewPage(old); });
  WriteDefinitionPages(copy.format, block, copy.owner, copy.output);
}

}  // namespace vintrel::jet
