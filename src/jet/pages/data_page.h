// Data pages (type 0x01), which hold table rows and, marked "LVAL" in place of the owning
// table, long values.
//
//   0 type 0x01 | 1 ? | 2 (2) free space | 4 (4) owning table definition page or "LVAL"
//   [Jet 4: 8 (4) ?] | 8/12 (2) row count | 10/14: row offsets, 2 bytes each
//
// Rows grow from the end of the page towards the offsets: row i runs from its offset to
// the offset of row i-1 (the page end for row 0). The top bits of an offset flag the row
// deleted (0x8000) or moved (0x4000: the row holds a 4-byte pointer to where it lives now).
#pragma once

#include <cstdint>

#include "jet/coding.h"
#include "jet/format.h"
#include "jet/io/page_cache.h"

namespace vintrel::jet {

struct RowSlot {
  ByteView bytes;
  bool deleted;
  bool moved;
};

class DataPage {
 public:
  // Checks the page type; `structure` names the page in errors.
  DataPage(PageRef page, const Format& format, const char* structure);

  uint32_t owner() const { return view_.U32(format_.data_table_page); }
  uint16_t row_count() const { return row_count_; }
  RowSlot Row(uint16_t index) const;

 private:
  PageRef page_;
  const Format& format_;
  ByteView view_;
  uint16_t row_count_;
};

// The bytes of the row a moved row's pointer leads to; `keep` holds that row's page. Jet
// moves a row at most once, so more than kMaxRowMoves hops mean damage.
inline constexpr int kMaxRowMoves = 4;
ByteView FollowMovedRow(PageCache& pages, const Format& format, ByteView pointer_row, PageRef& keep);

}  // namespace vintrel::jet
