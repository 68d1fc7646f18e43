// Long values (Memo and OLE columns). The row holds a 12-byte header:
//
//   0 (4) length in the low 30 bits; top bits 0x80 = the value follows the header inline,
//         0x40 = the value is the whole row at the pointer, 0x00 = a chain of rows
//   4 (4) row pointer to the first row of the value (unused inline)
//   8 (4) ?
//   12..  the value, when inline
//
// Each row of a chain starts with the 4-byte row pointer of the next row (0 = last) and
// carries the next piece of the value.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_set>
#include <vector>

#include "jet/coding.h"
#include "jet/format.h"
#include "jet/io/page_cache.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {

// The pieces of a long value in order, straight from the pages that hold them, so that a
// value is never assembled where it is only passed on: the bytes after an inline header, the
// row of a value on one page, or each row of a chain in turn.
class LongValuePieces {
 public:
  // `field` is the column's bytes in the row; both it and `pages` outlive the walk. Raises a
  // DamagedError for a header that does not read or a length larger than the file.
  LongValuePieces(PageCache& pages, const Format& format, const ByteView& field);
  // A value held in memory: one piece.
  explicit LongValuePieces(std::span<const uint8_t> value);

  size_t length() const { return length_; }
  // Sets `piece` to the next piece, which stays readable until the next call; false after
  // the last. Raises a DamagedError for a chain that loops, breaks off or ends short.
  bool Next(std::span<const uint8_t>& piece);

 private:
  PageCache* pages_ = nullptr;
  const Format* format_ = nullptr;
  size_t length_ = 0;
  size_t done_ = 0;
  std::span<const uint8_t> whole_;  // inline or in memory: the one piece
  bool chain_ = false;
  bool single_page_ = false;
  bool taken_ = false;  // the one piece of a value that is not a chain
  RowPointer where_{};
  uint32_t first_page_ = 0;
  PageRef keep_;
  std::unordered_set<uint32_t> visited_;  // rows of a chain
};

// Replaces `out` with the value that `field` (the column's bytes in the row) describes.
void ReadLongValue(PageCache& pages, const Format& format, const ByteView& field,
                   std::vector<uint8_t>& out);

}  // namespace vintrel::jet
