// Builds the row of a usage map (the layout is drawn in jet/usage_map.h) for a set of
// pages. Maps are rows of 69 bytes, as Jet makes them: the inline form (a first page and
// a 64-byte bitmap) when the pages lie within 512 of each other, and otherwise the
// reference form, whose map pages (type 0x05) this writes as well.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/format.h"
#include "jet/write/page_output.h"

namespace vintrel::jet {

inline constexpr size_t kUsageMapRowSize = 69;

// `pages` is sorted. Map pages it writes are appended to `map_pages`.
std::vector<uint8_t> BuildUsageMap(const Format& format, const std::vector<uint32_t>& pages,
                                   PageOutput& output, std::vector<uint32_t>& map_pages);

}  // namespace vintrel::jet
