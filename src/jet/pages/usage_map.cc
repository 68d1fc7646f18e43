// The map's row is copied when the map is opened, so the map holds no page of its own. A
// reference-form map fetches its map pages only as a walk reaches them, and empty bitmap bytes
// are skipped whole. Page numbers are counted in 64 bits, so a map that would name a page past
// 2^32 - 1 ends the walk instead of wrapping around.
#include "jet/pages/usage_map.h"

#include <algorithm>
#include <string>

#include "jet/pages/data_page.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {
namespace {
constexpr const char* kStructure = "usage map";
}  // namespace

UsageMap::UsageMap(PageCache& pages, const Format& format, uint32_t row_pointer, uint32_t owner)
    : pages_(pages), owner_(owner), pages_per_map_page_((format.page_size - kMapPageBitmapOffset) * 8) {
  RowPointer where = RowPointer::FromU32(row_pointer);
  DataPage page(pages.Get(where.page, kStructure), format, kStructure);
  RowSlot slot = page.Row(where.row);
  if (slot.deleted || slot.bytes.size() < 1) {
    RaiseDamaged(kStructure, where.page, "the map of table " + std::to_string(owner) +
                                             " is in a deleted or empty row");
  }
  row_.assign(slot.bytes.bytes().begin(), slot.bytes.bytes().end());
  ByteView view(row_, kStructure, where.page);
  switch (view.U8(0)) {
    case kInlineMapForm:
      inline_form_ = true;
      first_page_ = view.U32(1);
      break;
    case kReferenceMapForm:
      inline_form_ = false;
      break;
    default:
      view.Fail("the map has unknown form " + std::to_string(view.U8(0)));
  }
}

std::optional<uint32_t> UsageMap::NextInBitmap(std::span<const uint8_t> bitmap, uint32_t first,
                                               uint32_t from) const {
  uint64_t bit = from > first ? from - first : 0;
  for (; bit < bitmap.size() * 8ULL; ++bit) {
    if ((bit & 7) == 0 && bitmap[bit / 8] == 0) {
      bit += 7;  // skip a whole empty byte
      continue;
    }
    if (bitmap[bit / 8] & (1u << (bit & 7))) {
      uint64_t page = first + bit;
      if (page > UINT32_MAX) return std::nullopt;
      return static_cast<uint32_t>(page);
    }
  }
  return std::nullopt;
}

std::optional<uint32_t> UsageMap::NextPage(uint32_t from, uint32_t end) const {
  std::optional<uint32_t> found;
  if (inline_form_) {
    // The constructor read the first-page field, so the row holds at least 5 bytes.
    found = NextInBitmap(std::span(row_).subspan(kInlineMapBitmapOffset), first_page_, from);
    return found && *found < end ? found : std::nullopt;
  }
  ByteView view(row_, kStructure, owner_);
  const size_t map_count = SlotsBefore(end);
  for (size_t k = from / pages_per_map_page_; k < map_count && !found; ++k) {
    uint32_t map_page = view.U32(1 + k * 4);
    if (map_page == 0) continue;
    PageRef page = pages_.GetTyped(map_page, PageType::kUsageMap, kStructure);
    ByteView bitmap = page->View(kStructure);
    uint64_t first = static_cast<uint64_t>(k) * pages_per_map_page_;
    if (first > UINT32_MAX) break;
    found = NextInBitmap(bitmap.bytes().subspan(kMapPageBitmapOffset),
                         static_cast<uint32_t>(first), from);
  }
  return found && *found < end ? found : std::nullopt;
}

std::vector<uint32_t> UsageMap::MapPages(uint32_t end) const {
  std::vector<uint32_t> map_pages;
  if (inline_form_) return map_pages;
  ByteView view(row_, kStructure, owner_);
  for (size_t k = 0; k < SlotsBefore(end); ++k) {
    if (uint32_t page = view.U32(1 + k * 4); page != 0) map_pages.push_back(page);
  }
  return map_pages;
}

uint64_t UsageMap::CoverEnd() const {
  if (inline_form_) return first_page_ + 8ULL * (row_.size() - kInlineMapBitmapOffset);
  return static_cast<uint64_t>((row_.size() - 1) / 4) * pages_per_map_page_;
}

size_t UsageMap::SlotsBefore(uint32_t end) const {
  const uint64_t covering =
      (static_cast<uint64_t>(end) + pages_per_map_page_ - 1) / pages_per_map_page_;
  return std::min<uint64_t>((row_.size() - 1) / 4, covering);
}

}  // namespace vintrel::jet
