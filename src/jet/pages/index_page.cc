// Entries are found from the entry mask alone, and each one is rebuilt whole, with the shared
// prefix put back, so callers never see the prefix compression. The reader goes down the first
// entries to the first leaf and then follows next links only; both walks are bounded by the
// file's page count.
#include "jet/pages/index_page.h"

#include <bit>
#include <span>
#include <string>

namespace vintrel::jet {
namespace {
constexpr const char* kStructure = "index page";
}  // namespace

IndexPage ReadIndexPage(PageCache& pages, const Format& format, uint32_t number) {
  PageRef page = pages.Get(number, kStructure);
  ByteView view = page->View(kStructure);
  IndexPage result{};
  if (page->type() == PageType::kIndexLeaf) {
    result.leaf = true;
  } else if (page->type() != PageType::kIndexIntermediate) {
    view.Fail("the page has type " + std::to_string(view.U8(0)) + ", not an index page");
  }
  result.prev_page = view.U32(format.index_prev_page);
  result.next_page = view.U32(format.index_next_page);
  result.tail_page = view.U32(format.index_tail_page);
  const size_t prefix_length = format.index_prefix_length_size == 1
                                   ? view.U8(format.index_prefix_length)
                                   : view.U16(format.index_prefix_length);
  const size_t pointer_size = result.leaf ? 4 : 8;

  // The mask is mostly zeros: only its set bits are visited.
  const std::span<const uint8_t> mask =
      view.Sub(format.index_entry_mask, format.index_first_entry - format.index_entry_mask).bytes();
  size_t start = format.index_first_entry;
  std::span<const uint8_t> first_entry;
  for (size_t byte = 0; byte < mask.size(); ++byte) {
    for (unsigned bits = mask[byte]; bits != 0; bits &= bits - 1) {
      const size_t end = format.index_first_entry + byte * 8 + static_cast<size_t>(std::countr_zero(bits));
      if (end <= start) view.Fail("an index entry ends before it starts");
      const std::span<const uint8_t> stored = view.Sub(start, end - start).bytes();
      std::vector<uint8_t> bytes;
      if (result.entries.empty()) {
        first_entry = stored;
        if (prefix_length > first_entry.size()) view.Fail("the shared prefix is longer than the first entry");
        bytes.assign(stored.begin(), stored.end());
      } else {
        bytes.reserve(prefix_length + stored.size());
        bytes.assign(first_entry.begin(), first_entry.begin() + static_cast<ptrdiff_t>(prefix_length));
        bytes.insert(bytes.end(), stored.begin(), stored.end());
      }
      if (bytes.size() < pointer_size) view.Fail("an index entry is too short for its pointer");
      const ByteView entry(bytes, kStructure, number);
      IndexEntry decoded;
      const size_t key_size = bytes.size() - pointer_size;
      decoded.data_page = entry.BigU24(key_size);
      decoded.data_row = entry.U8(key_size + 3);
      decoded.child_page = result.leaf ? 0 : entry.BigU32(key_size + 4);
      bytes.resize(key_size);
      decoded.key = std::move(bytes);
      result.entries.push_back(std::move(decoded));
      start = end;
    }
  }
  return result;
}

void AppendEntryPointer(std::vector<uint8_t>& entry, uint32_t pointer) {
  const size_t at = entry.size();
  entry.resize(at + 4);
  PutBigU32(entry, at, pointer);
}

IndexReader::IndexReader(PageCache& pages, const Format& format, uint32_t root_page)
    : pages_(pages), format_(format), root_page_(root_page) {
  uint32_t number = root_page;
  for (;;) {
    if (++pages_visited_ > pages_.page_count()) {
      RaiseDamaged(kStructure, root_page, "the index's pages form a loop");
    }
    leaf_ = ReadIndexPage(pages_, format_, number);
    if (leaf_.leaf) break;
    if (leaf_.entries.empty()) {
      leaf_.next_page = 0;
      break;
    }
    number = leaf_.entries.front().child_page;
  }
}

bool IndexReader::Next(IndexEntry& entry) {
  while (next_entry_ >= leaf_.entries.size()) {
    if (leaf_.next_page == 0) return false;
    if (++pages_visited_ > pages_.page_count()) {
      RaiseDamaged(kStructure, root_page_, "the index's leaf pages form a loop");
    }
    uint32_t number = leaf_.next_page;
    leaf_ = ReadIndexPage(pages_, format_, number);
    if (!leaf_.leaf) {
      RaiseDamaged(kStructure, number, "a leaf's next page is not a leaf");
    }
    next_entry_ = 0;
  }
  entry = std::move(leaf_.entries[next_entry_++]);
  return true;
}

}  // namespace vintrel::jet
