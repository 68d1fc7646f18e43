// In the reference form, a map page is written only for a slot that covers some of the pages;
// the other slots stay 0. The global free map works out how many map pages it needs before it
// marks anything, because allocating them lengthens the very file it maps.
#include "jet/pages/usage_map_builder.h"

#include <algorithm>
#include <cassert>

#include "jet/coding.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

void SetBit(std::vector<uint8_t>& bytes, size_t at, uint64_t bit) {
  bytes[at + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
}
}  // namespace

std::vector<uint8_t> BuildUsageMap(const Format& format, const std::vector<uint32_t>& pages,
                                   PageOutput& output, std::vector<uint32_t>& map_pages) {
  assert(std::is_sorted(pages.begin(), pages.end()));
  std::vector<uint8_t> row(kUsageMapRowSize, 0);
  const uint64_t inline_bits = (kUsageMapRowSize - kInlineMapBitmapOffset) * 8;
  const uint32_t first = pages.empty() ? 0 : pages.front() / 8 * 8;
  if (pages.empty() || pages.back() - first < inline_bits) {
    row[0] = kInlineMapForm;
    PutU32(row, 1, first);
    for (uint32_t page : pages) SetBit(row, kInlineMapBitmapOffset, page - first);
    return row;
  }

  row[0] = kReferenceMapForm;
  const uint64_t per_map_page = (format.page_size - kMapPageBitmapOffset) * 8ULL;
  const size_t slots = (kUsageMapRowSize - 1) / 4;
  size_t next = 0;
  while (next < pages.size()) {
    const uint64_t k = pages[next] / per_map_page;
    if (k >= slots) {
      throw JetError("Page " + std::to_string(pages[next]) + " lies beyond what a usage map covers.");
    }
    std::vector<uint8_t> map_page(format.page_size, 0);
    map_page[0] = static_cast<uint8_t>(PageType::kUsageMap);
    map_page[kPageMarkOffset] = kPageMark;
    for (; next < pages.size() && pages[next] / per_map_page == k; ++next) {
      SetBit(map_page, kMapPageBitmapOffset, pages[next] - k * per_map_page);
    }
    const uint32_t number = output.Allocate();
    output.Write(number, map_page);
    map_pages.push_back(number);
    PutU32(row, 1 + 4 * k, number);
  }
  return row;
}

std::vector<uint8_t> BuildGlobalFreeMap(const Format& format, PageOutput& output) {
  constexpr size_t kInlineGranule = 32;
  constexpr size_t kMinInlineBitmap = 64;
  // The map's row shares page 1 with one more map row of kUsageMapRowSize bytes.
  const size_t row_room = format.page_size - format.data_row_offsets - 4 - kUsageMapRowSize;
  const size_t max_bitmap = (row_room - kInlineMapBitmapOffset) / kInlineGranule * kInlineGranule;
  const uint64_t count = output.page_count();
  const size_t bitmap = static_cast<size_t>(
      std::max<uint64_t>(kMinInlineBitmap, (count + 8 * kInlineGranule - 1) / (8 * kInlineGranule) * kInlineGranule));
  if (bitmap <= max_bitmap) {
    std::vector<uint8_t> row(kInlineMapBitmapOffset + bitmap, 0);
    row[0] = kInlineMapForm;
    for (uint64_t page = count; page < bitmap * 8; ++page) SetBit(row, kInlineMapBitmapOffset, page);
    return row;
  }
  // Map pages come after the rest; each covers per_map_page pages from k * per_map_page.
  const uint64_t per_map_page = (format.page_size - kMapPageBitmapOffset) * 8ULL;
  uint64_t maps = 0;
  while (maps * per_map_page < count + maps) ++maps;
  const size_t slots = (kUsageMapRowSize - 1) / 4;
  if (maps > slots) throw JetError("The copy has more pages than a usage map covers.");
  std::vector<uint8_t> row(kUsageMapRowSize, 0);
  row[0] = kReferenceMapForm;
  std::vector<uint32_t> numbers;
  for (uint64_t k = 0; k < maps; ++k) numbers.push_back(output.Allocate());
  const uint64_t end = output.page_count();
  for (uint64_t k = 0; k < maps; ++k) {
    std::vector<uint8_t> map_page(format.page_size, 0);
    map_page[0] = static_cast<uint8_t>(PageType::kUsageMap);
    map_page[kPageMarkOffset] = kPageMark;
    for (uint64_t bit = 0; bit < per_map_page; ++bit) {
      if (k * per_map_page + bit >= end) SetBit(map_page, kMapPageBitmapOffset, bit);
    }
    output.Write(numbers[k], map_page);
    PutU32(row, 1 + 4 * k, numbers[k]);
  }
  return row;
}

}  // namespace vintrel::jet
