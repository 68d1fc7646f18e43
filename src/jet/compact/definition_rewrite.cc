// Rewrites a table's definition block (the source's bytes, or for a converted table the Jet 4
// layout built from its parsed definition), setting only what the copy moved: the row count,
// the usage and free-space maps of the data and long-value pages, and the related-table pages
// of foreign keys. A long-value column the definition gives no map is refused, as the copy
// would have pages no map names.
#include "jet/compact/definition_rewrite.h"

#include <algorithm>
#include <string>
#include <vector>

#include "jet/jet_error.h"

namespace vintrel::jet {

void SetRowMaps(const Format& format, MapRows& maps, uint64_t rows, const std::vector<uint32_t>& data_pages,
                std::optional<uint32_t> open_page, const std::map<uint16_t, LongValueWriter>& long_values,
                DefinitionBlock& block) {
  std::vector<uint32_t> with_room;
  if (open_page) with_room.push_back(*open_page);
  SetTableFields(block, format, static_cast<uint32_t>(rows), maps.AddMapOf(data_pages), maps.AddMapOf(with_room));
  for (size_t i = 0; i < block.layout.long_value_maps.size(); ++i) {
    auto found = long_values.find(block.layout.long_value_maps[i].column_number);
    std::vector<uint32_t> pages, open;
    if (found != long_values.end()) {
      pages = found->second.pages();
      if (auto page = found->second.open_page()) open.push_back(*page);
    }
    SetLongValueMaps(block, i, maps.AddMapOf(pages), maps.AddMapOf(open));
  }
}

void RewriteDefinition(const CopyContext& copy, const CopiedRows& rows, DefinitionBlock& block) {
  SetRowMaps(copy.format, copy.maps, rows.count, rows.data_pages, rows.open_page, rows.long_values, block);
  for (const auto& written : rows.long_values) {
    const uint16_t column = written.first;
    bool mapped = std::any_of(
        block.layout.long_value_maps.begin(), block.layout.long_value_maps.end(),
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
