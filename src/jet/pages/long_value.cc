// A chain is trusted no further than the file: its length is checked against the file's size
// before any of it is read, and every row it visits is remembered. A damaged header or a
// looping chain therefore ends with an error, not with exhausted memory or a hang.
#include "jet/pages/long_value.h"

#include <algorithm>
#include <string>

#include "jet/pages/data_page.h"

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

LongValuePieces::LongValuePieces(PageCache& pages, const Format& format, const ByteView& field)
    : pages_(&pages), format_(&format) {
  if (field.size() == 0) return;
  const uint32_t word = field.U32(0);
  length_ = word & kLongValueLengthMask;
  if (word & kLongValueInline) {
    whole_ = field.Sub(kLongValueHeaderSize, length_).bytes();
    return;
  }
  where_ = RowPointer::FromU32(field.U32(4));
  first_page_ = where_.page;
  single_page_ = (word & kLongValueSinglePage) != 0;
  chain_ = !single_page_;
  // A value cannot be larger than the file.
  const uint64_t file_bytes = static_cast<uint64_t>(pages.page_count()) * pages.page_size();
  if (chain_ && length_ > file_bytes) {
    field.Fail("a long value claims " + std::to_string(length_) + " bytes, more than the file");
  }
}

LongValuePieces::LongValuePieces(std::span<const uint8_t> value) : length_(value.size()), whole_(value) {}

bool LongValuePieces::Next(std::span<const uint8_t>& piece) {
  if (!chain_) {
    // One piece, read even when empty, so that a pointer to no row is found.
    if (taken_) return false;
    taken_ = true;
    piece = single_page_ ? LongValueRow(*pages_, *format_, where_, keep_).Sub(0, length_).bytes() : whole_;
  } else {
    if (done_ == length_) return false;
    // No row may appear twice in a chain.
    if (!visited_.insert(where_.page << 8 | where_.row).second) {
      RaiseDamaged(kStructure, first_page_, "its chain of rows loops");
    }
    const ByteView row = LongValueRow(*pages_, *format_, where_, keep_);
    const uint32_t next = row.U32(0);
    piece = row.bytes().subspan(4);
    piece = piece.first(std::min(piece.size(), length_ - done_));
    if (done_ + piece.size() < length_ && (next == 0 || piece.empty())) {
      RaiseDamaged(kStructure, first_page_,
                   "its chain ends after " + std::to_string(done_ + piece.size()) + " of " +
                       std::to_string(length_) + " bytes");
    }
    where_ = RowPointer::FromU32(next);
  }
  done_ += piece.size();
  return true;
}

void ReadLongValue(PageCache& pages, const Format& format, const ByteView& field,
                   std::vector<uint8_t>& out) {
  LongValuePieces pieces(pages, format, field);
  out.clear();
  std::span<const uint8_t> piece;
  while (pieces.Next(piece)) {
    // Reserved once the header has been found to lead somewhere.
    if (out.empty()) out.reserve(pieces.length());
    out.insert(out.end(), piece.begin(), piece.end());
  }
}

}  // namespace vintrel::jet
