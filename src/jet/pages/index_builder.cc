// A page's stored size is kept up to date as entries arrive: when the shared prefix shortens,
// every entry after the first grows by the difference, so no page is laid out twice. The next
// page is allocated before the full one is written, so its next link needs no second write.
// The levels above the leaves are built in Finish from the last entry of each page.
#include "jet/pages/index_builder.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "jet/coding.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {
constexpr size_t kLevelFlagOffset = 26;

size_t CommonPrefix(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}
}  // namespace

std::span<const uint8_t> IndexBuilder::Level::entry(size_t i) const {
  const size_t start = i == 0 ? 0 : entry_ends[i - 1];
  return std::span<const uint8_t>(entry_bytes).subspan(start, entry_ends[i] - start);
}

void IndexBuilder::Level::Push(std::span<const uint8_t> entry) {
  entry_bytes.insert(entry_bytes.end(), entry.begin(), entry.end());
  entry_ends.push_back(entry_bytes.size());
}

void IndexBuilder::Level::Clear() {
  entry_bytes.clear();
  entry_ends.clear();
}

IndexBuilder::IndexBuilder(const Format& format, PageOutput& output, uint32_t owner)
    : format_(format), output_(output), owner_(owner), page_(format.page_size) {
  assert(format.version == Version::kJet4);
  leaves_.leaf = true;
}

uint32_t IndexBuilder::StartPage() {
  uint32_t number = output_.Allocate();
  pages_.push_back(number);
  return number;
}

// The last entry is the last one on the leaf being filled or, once that leaf is written, its
// parent entry without the page number.
bool IndexBuilder::SortsAfterLast(std::span<const uint8_t> entry) const {
  std::span<const uint8_t> last;
  if (leaves_.count() > 0) {
    last = leaves_.entry(leaves_.count() - 1);
  } else if (!leaves_.parents.empty()) {
    last = std::span<const uint8_t>(leaves_.parents.back()).first(leaves_.parents.back().size() - 4);
  } else {
    return true;
  }
  return std::lexicographical_compare(last.begin(), last.end(), entry.begin(), entry.end());
}

void IndexBuilder::Add(std::span<const uint8_t> entry) {
  assert(SortsAfterLast(entry));
  ++entry_count_;
  AddTo(leaves_, entry);
}

void IndexBuilder::AddTo(Level& level, std::span<const uint8_t> entry) {
  const size_t capacity = format_.page_size - format_.index_first_entry;
  if (entry.size() > capacity) {
    throw JetError("An index entry of table " + std::to_string(owner_) + " has " +
                   std::to_string(entry.size()) + " bytes, more than an index page holds.");
  }
  if (level.count() == 0) {
    if (level.number == 0) level.number = StartPage();
    level.prefix = entry.size();
    level.stored = entry.size();
    level.Push(entry);
    return;
  }
  const size_t prefix = std::min(level.prefix, CommonPrefix(level.entry(0), entry));
  const size_t others = level.count();  // entries after the first, this one included
  const size_t stored =
      level.stored + (level.prefix - prefix) * (others - 1) + entry.size() - prefix;
  if (stored > capacity) {
    uint32_t next = StartPage();
    WritePage(level, next);
    level.number = next;
    level.prefix = entry.size();
    level.stored = entry.size();
    level.Push(entry);
    return;
  }
  level.prefix = prefix;
  level.stored = stored;
  level.Push(entry);
}

void IndexBuilder::WritePage(Level& level, uint32_t next) {
  std::vector<uint8_t>& page = page_;
  std::fill(page.begin(), page.end(), 0);
  page[0] = static_cast<uint8_t>(level.leaf ? PageType::kIndexLeaf : PageType::kIndexIntermediate);
  page[kPageMarkOffset] = kPageMark;
  page[kLevelFlagOffset] = level.leaf ? 0 : 1;
  PutU32(page, format_.data_table_page, owner_);
  PutU32(page, format_.index_prev_page, level.prev);
  PutU32(page, format_.index_next_page, next);
  const size_t prefix = level.count() > 1 ? level.prefix : 0;
  PutU16(page, format_.index_prefix_length, static_cast<uint32_t>(prefix));
  size_t at = format_.index_first_entry;
  for (size_t i = 0; i < level.count(); ++i) {
    const std::span<const uint8_t> entry = level.entry(i);
    const size_t skip = i == 0 ? 0 : prefix;
    std::copy(entry.begin() + static_cast<ptrdiff_t>(skip), entry.end(),
              page.begin() + static_cast<ptrdiff_t>(at));
    at += entry.size() - skip;
    const size_t bit = at - format_.index_first_entry;
    page[format_.index_entry_mask + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
  }
  PutU16(page, kPageFreeSpaceOffset, static_cast<uint32_t>(format_.page_size - at));
  output_.Write(level.number, page);

  if (level.count() > 0) {
    const std::span<const uint8_t> last = level.entry(level.count() - 1);
    std::vector<uint8_t> parent(last.begin(), last.end());
    if (!level.leaf) parent.resize(parent.size() - 4);  // the child page of the last entry
    parent.resize(parent.size() + 4);
    PutBigU32(parent, parent.size() - 4, level.number);
    level.parents.push_back(std::move(parent));
  }
  level.prev = level.number;
  level.Clear();
}

uint32_t IndexBuilder::Finish() {
  if (leaves_.number == 0) leaves_.number = StartPage();
  WritePage(leaves_, 0);
  std::vector<std::vector<uint8_t>> below = std::move(leaves_.parents);
  uint32_t root = leaves_.number;
  while (below.size() > 1) {
    Level level;
    level.leaf = false;
    for (const std::vector<uint8_t>& entry : below) AddTo(level, entry);
    WritePage(level, 0);
    root = level.number;
    below = std::move(level.parents);
  }
  return root;
}

}  // namespace vintrel::jet
