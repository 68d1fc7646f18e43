#include "jet/write/usage_map_builder.h"

#include "jet/jet_error.h"
#include "jet/write/encoding.h"

namespace vintrel::jet {
namespace {
constexpr size_t kInlineBitmapOffset = 5;
constexpr size_t kMapPageBitmapOffset = 4;
constexpr uint8_t kInlineForm = 0x00;
constexpr uint8_t kReferenceForm = 0x01;

void SetBit(std::vector<uint8_t>& bytes, size_t at, uint64_t bit) {
  bytes[at + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
}
}  // namespace

std::vector<uint8_t> BuildUsageMap(const Format& format, const std::vector<uint32_t>& pages,
                                   PageOutput& output, std::vector<uint32_t>& map_pages) {
  std::vector<uint8_t> row(kUsageMapRowSize, 0);
  const uint64_t inline_bits = (kUsageMapRowSize - kInlineBitmapOffset) * 8;
  const uint32_t first = pages.empty() ? 0 : pages.front() / 8 * 8;
  if (pages.empty() || pages.back() - first < inline_bits) {
    row[0] = kInlineForm;
    PutU32(row, 1, first);
    for (uint32_t page : pages) SetBit(row, kInlineBitmapOffset, page - first);
    return row;
  }

  row[0] = kReferenceForm;
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
    map_page[1] = 0x01;
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

}  // namespace vintrel::jet
