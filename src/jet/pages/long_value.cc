// A value is read whole into the caller's buffer, because the copy writes it again as a whole.
// A chain is trusted no further than the file: its length is checked against the file's size
// before any memory is reserved, and every row it visits is remembered. A damaged header or a
// looping chain therefore ends with an error, not with exhausted memory or a hang.
#include "jet/pages/long_value.h"

#include <string>
#include <unordered_set>

#include "jet/pages/data_page.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {
namespace {
constexpr const char* kStructure = "long value";

ByteView LongValueRow(PageCache& pages, const Format& format, RowPointer where,
                      PageRef& keep) {
  keep = pages.Get(where.page, kStructure);
  DataPage page(keep, format, kStructure);
  RowSlot slot = page.Row(where.row);
  if (slot.deleted) {
    slot.bytes.Fail("row " + std::to_string(where.row) + " of a long value is deleted");
  }
  return slot.bytes;
}

}  // namespace

void ReadLongValue(PageCache& pages, const Format& format, const ByteView& field,
                   std::vector<uint8_t>& out) {
  out.clear();
  if (field.size() == 0) return;
  uint32_t word = field.U32(0);
  uint32_t length = word & kLongValueLengthMask;
  if (word & kLongValueInline) {
    ByteView value = field.Sub(kLongValueHeaderSize, length);
    out.assign(value.bytes().begin(), value.bytes().end());
    return;
  }
  RowPointer where = RowPointer::FromU32(field.U32(4));
  PageRef keep;
  if (word & kLongValueSinglePage) {
    ByteView value = LongValueRow(pages, format, where, keep).Sub(0, length);
    out.assign(value.bytes().begin(), value.bytes().end());
    return;
  }
  // A value cannot be larger than the file, and no row may appear twice in its chain.
  const uint64_t file_bytes = static_cast<uint64_t>(pages.page_count()) * pages.page_size();
  if (length > file_bytes) {
    field.Fail("a long value claims " + std::to_string(length) + " bytes, more than the file");
  }
  out.reserve(length);
  const uint32_t first_page = where.page;
  std::unordered_set<uint32_t> visited;
  while (out.size() < length) {
    if (!visited.insert(where.page << 8 | where.row).second) {
      RaiseDamaged(kStructure, first_page, "its chain of rows loops");
    }
    ByteView row = LongValueRow(pages, format, where, keep);
    uint32_t next = row.U32(0);
    auto piece = row.bytes().subspan(4);
    size_t take = std::min<size_t>(piece.size(), length - out.size());
    out.insert(out.end(), piece.begin(), piece.begin() + take);
    if (out.size() == length) break;
    if (next == 0 || take == 0) {
      RaiseDamaged(kStructure, first_page,
                   "its chain ends after " + std::to_string(out.size()) + " of " +
                       std::to_string(length) + " bytes");
    }
    where = RowPointer::FromU32(next);
  }
}

}  // namespace vintrel::jet
