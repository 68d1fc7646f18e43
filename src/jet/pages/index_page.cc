// Entries are found from the entry mask alone, and each one is rebuilt whole, with the shared
// prefix put back, so callers never see the prefix compression. The reader goes down the first
// entries to the first leaf and then follows next links only; both walks are bounded by the
// file's page count.
#include "jet/pages/index_page.h"

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

  ByteView mask = view.Sub(format.index_entry_mask, format.index_first_entry - format.index_entry_mask);
  size_t start = format.index_first_entry;
  std::vector<uint8_t> first_entry;
  for (size_t bit = 0; bit < mask.size() * 8; ++bit) {
    if (((mask.U8(bit / 8) >> (bit % 8)) & 1) == 0) continue;
    size_t end = format.index_first_entry + bit;
    if (end <= start) view.Fail("an index entry ends before it starts");
    ByteView stored = view.Sub(start, end - start);
    std::vector<uint8_t> bytes;
    if (result.entries.empty()) {
      first_entry.assign(stored.bytes().begin(), stored.bytes().end());
      bytes = first_entry;
      if (prefix_length > first_entry.size()) {
        view.Fail("the shared prefix is longer than the first entry");
      }
    } else {
      bytes.assign(first_entry.begin(), first_entry.begin() + prefix_length);
      bytes.insert(bytes.end(), stored.bytes().begin(), stored.bytes().end());
    }
    if (bytes.size() < pointer_size) view.Fail("an index entry is too short for its pointer");
    ByteView entry(bytes, kStructure, number);
    IndexEntry decoded;
    size_t key_size = bytes.size() - pointer_size;
    decoded.data_page = entry.BigU24(key_size);
    decoded.data_row = entry.U8(key_size + 3);
    decoded.child_page = result.leaf ? 0 : entry.BigU32(key_size + 4);
    bytes.resize(key_size);
    decoded.key = std::move(bytes);
    result.entries.push_back(std::move(decoded));
    start = end;
  }
  return result;
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
