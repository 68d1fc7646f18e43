// Row bounds are checked when a row is asked for, not when the page is opened, so a scan fails
// at the first bad row and names it. A deleted row's bounds are not checked at all, because its
// space may have been reused. A moved row is followed at most kMaxRowMoves hops, so a loop of
// pointers cannot hang a read.
#include "jet/pages/data_page.h"

#include <string>

#include "jet/pages/table_definition.h"

namespace vintrel::jet {

DataPage::DataPage(PageRef page, const Format& format, const char* structure)
    : page_(std::move(page)), format_(format), view_(page_->View(structure)) {
  if (page_->type() != PageType::kData) view_.Fail("the page is not a data page");
  row_count_ = view_.U16(format_.data_row_count);
  if (format_.data_row_offsets + row_count_ * 2u > view_.size()) {
    view_.Fail(std::to_string(row_count_) + " row offsets do not fit in the page");
  }
}

RowSlot DataPage::Row(uint16_t index) const {
  if (index >= row_count_) {
    view_.Fail("row " + std::to_string(index) + " is past the page's " +
               std::to_string(row_count_) + " rows");
  }
  uint16_t raw = view_.U16(format_.data_row_offsets + index * 2u);
  size_t start = raw & kRowOffsetMask;
  size_t end = index == 0 ? view_.size()
                          : view_.U16(format_.data_row_offsets + (index - 1) * 2u) & kRowOffsetMask;
  size_t table_end = format_.data_row_offsets + row_count_ * 2u;
  bool deleted = (raw & kRowDeleted) != 0;
  if (start < table_end || start > end || end > view_.size()) {
    // A deleted row's space may already be reused; its bounds mean nothing.
    if (deleted) return {view_.Sub(0, 0), true, false};
    view_.Fail("row " + std::to_string(index) + " has bounds " + std::to_string(start) + ".." +
               std::to_string(end));
  }
  return {view_.Sub(start, end - start), deleted, (raw & kRowOverflow) != 0};
}

ByteView FollowMovedRow(PageCache& pages, const Format& format, ByteView pointer_row, PageRef& keep) {
  // The row a moved row points at is itself flagged deleted, so that scans pass over it.
  for (int moves = 0; moves < kMaxRowMoves; ++moves) {
    RowPointer where = RowPointer::FromU32(pointer_row.U32(0));
    keep = pages.Get(where.page, "data page");
    DataPage target(keep, format, "data page");
    RowSlot slot = target.Row(where.row);
    if (!slot.moved) return slot.bytes;
    pointer_row = slot.bytes;
  }
  pointer_row.Fail("a moved row is moved more than " + std::to_string(kMaxRowMoves) + " times");
}

}  // namespace vintrel::jet
