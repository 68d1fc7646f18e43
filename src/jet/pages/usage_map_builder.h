// Builds the row of a usage map (the layout is drawn in jet/pages/usage_map.h) for a set of
// pages. Maps are rows of 69 bytes, as Jet makes them: the inline form (a first page and
// a 64-byte bitmap) when the pages lie within 512 of each other, and otherwise the
// reference form, whose map pages (type 0x05) this writes as well.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/format.h"
#include "jet/io/page_output.h"

namespace vintrel::jet {

inline constexpr size_t kUsageMapRowSize = 69;

// REQUIRES: `pages` is sorted. Map pages it writes are appended to `map_pages`.
std::vector<uint8_t> BuildUsageMap(const Format& format, const std::vector<uint32_t>& pages,
                                   PageOutput& output, std::vector<uint32_t>& map_pages);

// The global map of free pages (row 0 of page 1) for a file of `page_count` pages none of
// which is free. Jet marks every page its map covers beyond the end of the file as free, in
// an inline bitmap of a multiple of 32 bytes (at least 64) while one row holds it, and in
// map pages beyond that; so does this. Map pages it needs are allocated from `output`,
// which lengthens the file, and written.
std::vector<uint8_t> BuildGlobalFreeMap(const Format& format, PageOutput& output);

}  // namespace vintrel::jet
