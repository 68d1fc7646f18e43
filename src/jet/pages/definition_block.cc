// The block keeps the source's bytes; the offsets of the fields the copy changes are those the
// definition's reader recorded. It is cut after the end mark of the long-value map list, and
// its length field is set from its size when it is written. Continuation pages are taken from
// the output only as the block fills them.
#include "jet/pages/definition_block.h"

#include <algorithm>
#include <cassert>

#include "jet/coding.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {
constexpr const char* kStructure = "table definition";
constexpr size_t kBlockLengthOffset = 8;
constexpr size_t kIndexCountEntryCount = 4;
}  // namespace

DefinitionBlock ReadDefinitionBlock(PageCache& pages, const Format& format, const TableDefinition& table) {
  assert(format.version == Version::kJet4);
  if (!table.layout.end) RaiseDamaged(kStructure, table.page, "its list of long-value maps has no end mark");
  DefinitionBlock block{ReadDefinitionChain(pages, format, table.page).block, table.layout};
  block.bytes.resize(*table.layout.end);
  return block;
}

void SetTableFields(DefinitionBlock& block, const Format& format, uint32_t row_count,
                    uint32_t usage_map, uint32_t free_space_map) {
  PutU32(block.bytes, format.tdef_row_count, row_count);
  PutU32(block.bytes, format.tdef_used_pages, usage_map);
  PutU32(block.bytes, format.tdef_free_pages, free_space_map);
}

void SetLastAutonumber(DefinitionBlock& block, const Format& format, uint32_t value) {
  PutU32(block.bytes, format.tdef_autonumber, value);
}

void SetRealIndexFields(DefinitionBlock& block, const Format& format, size_t index,
                        uint32_t entry_count, uint32_t usage_map, uint32_t root_page) {
  PutU32(block.bytes,
         format.tdef_real_index_counts + index * format.real_index_count_entry_size +
             kIndexCountEntryCount,
         entry_count);
  PutU32(block.bytes, block.layout.real_indexes[index] + format.real_index_used_pages, usage_map);
  PutU32(block.bytes, block.layout.real_indexes[index] + format.real_index_first_page, root_page);
}

void SetLongValueMaps(DefinitionBlock& block, size_t entry, uint32_t usage_map,
                      uint32_t free_space_map) {
  PutU32(block.bytes, block.layout.long_value_maps[entry].offset + kLongValueMapUsageMap, usage_map);
  PutU32(block.bytes, block.layout.long_value_maps[entry].offset + kLongValueMapFreeSpaceMap, free_space_map);
}

void WriteDefinitionPages(const Format& format, DefinitionBlock& block, uint32_t first_page,
                          PageOutput& output) {
  assert(format.version == Version::kJet4);
  const size_t page_size = format.page_size;
  const size_t header = format.tdef_continuation_header;
  PutU32(block.bytes, kBlockLengthOffset, static_cast<uint32_t>(block.bytes.size()));
  size_t done = 0;
  uint32_t number = first_page;
  while (true) {
    std::vector<uint8_t> page(page_size, 0);
    size_t start = done == 0 ? 0 : header;
    size_t take = std::min(block.bytes.size() - done, page_size - start);
    std::copy_n(block.bytes.begin() + static_cast<ptrdiff_t>(done), take,
                page.begin() + static_cast<ptrdiff_t>(start));
    done += take;
    page[0] = static_cast<uint8_t>(PageType::kTableDefinition);
    page[kPageMarkOffset] = kPageMark;
    const size_t used = start + take + header;
    PutU16(page, kPageFreeSpaceOffset, static_cast<uint32_t>(used < page_size ? page_size - used : 0));
    const uint32_t next = done < block.bytes.size() ? output.Allocate() : 0;
    PutU32(page, format.tdef_next_page, next);
    output.Write(number, page);
    if (next == 0) break;
    number = next;
  }
}

}  // namespace vintrel::jet
