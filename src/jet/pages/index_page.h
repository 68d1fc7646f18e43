// Index pages: intermediate (type 0x03) and leaf (type 0x04).
//
//   0 type | 1 ? | 2 (2) free space | 4 (4) owning table definition
//   prev 8/12 (4), next 12/16 (4), tail 16/20 (4): pages of the same level
//   prefix length 20 (1) / 24 (2): bytes every entry after the first shares with the
//                 first (Jet 3's next byte is something else and not always zero)
//   entry mask 22/27: bit i set = an entry ends at (first entry + i)
//   first entry 0xF8/0x1E0
//
//   leaf entry:          key bytes | data page (3, big-endian) | row (1)
//   intermediate entry:  key bytes | data page (3) | row (1) | child page (4, big-endian)
//
// Each entry after the first on a page is stored without the shared prefix.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/format.h"
#include "jet/io/page_cache.h"

namespace vintrel::jet {

struct IndexEntry {
  std::vector<uint8_t> key;
  uint32_t data_page;
  uint8_t data_row;
  uint32_t child_page;  // intermediate entries only
};

// Appends to `entry`, which holds a key, the pointer that ends a leaf entry: a row pointer as
// PackRowPointer makes it (page, then row), most significant byte first.
void AppendEntryPointer(std::vector<uint8_t>& entry, uint32_t pointer);

struct IndexPage {
  bool leaf;
  uint32_t prev_page;
  uint32_t next_page;
  uint32_t tail_page;
  std::vector<IndexEntry> entries;
};

IndexPage ReadIndexPage(PageCache& pages, const Format& format, uint32_t number);

// Walks an index's leaf level in key order: down the first entries from the root, then
// along the leaves' next-page links. Memory is one page of entries; the walk is bounded
// by the file's page count, so a loop of links ends with an error.
class IndexReader {
 public:
  IndexReader(PageCache& pages, const Format& format, uint32_t root_page);
  bool Next(IndexEntry& entry);

 private:
  PageCache& pages_;
  const Format& format_;
  uint32_t root_page_;
  IndexPage leaf_;
  size_t next_entry_ = 0;
  uint32_t pages_visited_ = 0;
};

}  // namespace vintrel::jet
