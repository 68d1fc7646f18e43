// Usage maps: which pages belong to a table or an index. A map is a row on a data page.
//
//   inline form:     0 (1) 0x00 | 1 (4) first page mapped | 5.. bitmap, bit i = page first+i
//   reference form:  0 (1) 0x01 | 1.. 4-byte numbers of usage-map pages (type 0x05), map page
//                    k covering pages k*(page size-4)*8 onwards; 0 where none is needed
//   usage-map page:  0 type 0x05 | 1 ? | 2 (2) ? | 4.. bitmap
//
// Bits run from the low bit of each byte. The map is read lazily, one map page at a time,
// so walking it costs no memory beyond a page.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/format.h"
#include "jet/io/page_cache.h"

namespace vintrel::jet {

class UsageMap {
 public:
  // `row_pointer` addresses the map's row; `owner` is the definition page of its table.
  UsageMap(PageCache& pages, const Format& format, uint32_t row_pointer, uint32_t owner);

  // The first page in [from, end) that the map marks as used. A reference-form map's
  // slots that cover only pages at or past `end` are not read.
  std::optional<uint32_t> NextPage(uint32_t from, uint32_t end = UINT32_MAX) const;
  // The usage-map pages (type 0x05) a reference-form map keeps its bitmaps on, for the
  // slots that cover pages before `end`.
  std::vector<uint32_t> MapPages(uint32_t end = UINT32_MAX) const;
  // One past the last page the map can mark: the end of the inline bitmap, or of what
  // the reference form's slots cover.
  uint64_t CoverEnd() const;

 private:
  std::optional<uint32_t> NextInBitmap(std::span<const uint8_t> bitmap, uint32_t first,
                                       uint32_t from) const;
  // The number of reference-form slots that cover a page before `end`.
  size_t SlotsBefore(uint32_t end) const;

  PageCache& pages_;
  uint32_t owner_;
  bool inline_form_;
  uint32_t first_page_ = 0;          // inline form
  std::vector<uint8_t> row_;         // the map's row
  uint32_t pages_per_map_page_;
};

}  // namespace vintrel::jet
