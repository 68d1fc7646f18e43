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
#include <vector>

#include "jet/coding.h"
#include "jet/format.h"
#include "jet/io/page_cache.h"

namespace vintrel::jet {

// Replaces `out` with the value that `field` (the column's bytes in the row) describes.
void ReadLongValue(PageCache& pages, const Format& format, const ByteView& field,
                   std::vector<uint8_t>& out);

}  // namespace vintrel::jet
