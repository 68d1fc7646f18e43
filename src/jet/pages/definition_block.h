// A Jet 4 table definition as raw bytes, for copying with its page references replaced. The
// block is the first definition page, header included, followed by the continuation
// pages without their 8-byte headers, so that offsets in it are those of
// jet/pages/table_definition.h. Besides the fields listed there, Jet 4 stores:
//
//   8 (4)  length of the block
//   per real index, 12 bytes at 63 + 12 i: 4 ? | 4 entry count | 4 ?
//
// Every field not named here or set below is copied unchanged. The functions here take Jet 4's
// Format only.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/format.h"
#include "jet/io/page_cache.h"
#include "jet/io/page_output.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {

struct DefinitionBlock {
  std::vector<uint8_t> bytes;
  DefinitionLayout layout;  // of `bytes`
};

// The source's bytes of the Jet 4 definition `table` was read from, up to the end mark of
// its long-value maps; a definition without that mark is damage.
DefinitionBlock ReadDefinitionBlock(PageCache& pages, const Format& format, const TableDefinition& table);

// Sets the row count and the table's two maps (row pointers).
void SetTableFields(DefinitionBlock& block, const Format& format, uint32_t row_count,
                    uint32_t usage_map, uint32_t free_space_map);
// The autonumber last handed out; the next row gets the one after it.
void SetLastAutonumber(DefinitionBlock& block, const Format& format, uint32_t value);
// Sets the entry count, the map (a row pointer) and the root page of real index `index`.
void SetRealIndexFields(DefinitionBlock& block, const Format& format, size_t index,
                        uint32_t entry_count, uint32_t usage_map, uint32_t root_page);
// Sets the maps (row pointers) of the `entry`th long-value column.
void SetLongValueMaps(DefinitionBlock& block, size_t entry, uint32_t usage_map,
                      uint32_t free_space_map);

// Replaces each foreign key's related-table page by `new_page(old)`.
template <typename NewPage>
void RenumberRelatedTables(DefinitionBlock& block, const Format& format, NewPage new_page);

// Writes the block at `first_page`, continuing on newly allocated pages as needed.
void WriteDefinitionPages(const Format& format, DefinitionBlock& block, uint32_t first_page,
                          PageOutput& output);

template <typename NewPage>
void RenumberRelatedTables(DefinitionBlock& block, const Format& format, NewPage new_page) {
  for (size_t at : block.layout.logical_indexes) {
    const size_t field = at + format.logical_index_related_table;
    uint32_t old_page = 0;
    for (size_t i = 0; i < 4; ++i) old_page |= static_cast<uint32_t>(block.bytes[field + i]) << (8 * i);
    if (old_page == 0) continue;
    const uint32_t renewed = new_page(old_page);
    for (size_t i = 0; i < 4; ++i) block.bytes[field + i] = static_cast<uint8_t>(renewed >> (8 * i));
  }
}

}  // namespace vintrel::jet
