// Builds a Jet 4 index's pages from its entries in key order; the page layout is drawn in
// jet/pages/index_page.h. Leaves are filled in turn and linked by their prev/next pages; each
// level above holds, per page below, that page's last entry followed by its number,
// until one page, the root, remains. Each page stores the prefix all its entries share
// with the first once, in the first entry. Memory is one page of entries plus one entry
// per page of the level above.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/format.h"
#include "jet/io/page_output.h"

namespace vintrel::jet {

class IndexBuilder {
 public:
  // `owner` is the definition page of the indexed table; `format` is Jet 4's (the level flag
  // at 26 and the 2-byte prefix length are its layout).
  IndexBuilder(const Format& format, PageOutput& output, uint32_t owner);

  // `entry` is the key followed by the row's page (3 bytes, big-endian) and row (1 byte).
  // REQUIRES: each entry sorts strictly after the previous one, comparing their bytes as
  // stored. As the segments of a key delimit themselves, no key is a proper prefix of
  // another, so this is key order and, between equal keys, row-pointer order.
  void Add(std::span<const uint8_t> entry);
  // Whether `entry` may be added next: for callers whose entries come from a source that may
  // be damaged, to refuse them before Add.
  bool SortsAfterLast(std::span<const uint8_t> entry) const;
  // Writes what remains and returns the root page.
  uint32_t Finish();

  uint64_t entry_count() const { return entry_count_; }
  // Every page of the index, in increasing order.
  const std::vector<uint32_t>& pages() const { return pages_; }

 private:
  struct Level {
    bool leaf;
    uint32_t number = 0;  // of the page being filled
    uint32_t prev = 0;
    // The entries of the page being filled, whole, one after another: one buffer for all, as
    // a leaf may take hundreds.
    std::vector<uint8_t> entry_bytes;
    std::vector<size_t> entry_ends;
    size_t prefix = 0;
    size_t stored = 0;  // entry bytes the page stores, prefixes left out
    std::vector<std::vector<uint8_t>> parents;  // last entry + page number, per written page

    size_t count() const { return entry_ends.size(); }
    std::span<const uint8_t> entry(size_t i) const;
    void Push(std::span<const uint8_t> entry);
    void Clear();
  };

  void AddTo(Level& level, std::span<const uint8_t> entry);
  void WritePage(Level& level, uint32_t next);
  uint32_t StartPage();

  const Format& format_;
  PageOutput& output_;
  uint32_t owner_;
  Level leaves_;
  uint64_t entry_count_ = 0;
  std::vector<uint32_t> pages_;
  std::vector<uint8_t> page_;  // the page being written
};

}  // namespace vintrel::jet
