// The page is kept whole in memory, and its count, offset and free-space fields are rewritten
// on every Add. bytes() is therefore a finished page at any moment, and a writer can write it
// out as soon as the next row does not fit.
#include "jet/pages/data_page_builder.h"

#include <algorithm>
#include <cassert>

#include "jet/coding.h"

namespace vintrel::jet {

DataPageBuilder::DataPageBuilder(const Format& format, uint32_t number, uint32_t owner)
    : format_(format), bytes_(format.page_size) {
  Reset(number, owner);
}

void DataPageBuilder::Reset(uint32_t number, uint32_t owner) {
  number_ = number;
  row_count_ = 0;
  rows_start_ = format_.page_size;
  std::fill(bytes_.begin(), bytes_.end(), 0);
  bytes_[0] = static_cast<uint8_t>(PageType::kData);
  bytes_[kPageMarkOffset] = kPageMark;
  PutU32(bytes_, format_.data_table_page, owner);
  PutU16(bytes_, kPageFreeSpaceOffset, static_cast<uint32_t>(rows_start_ - format_.data_row_offsets));
}

size_t DataPageBuilder::Room() const {
  if (row_count_ >= kMaxRowsPerPage) return 0;
  size_t offsets_end = format_.data_row_offsets + 2 * (row_count_ + 1);
  return rows_start_ > offsets_end ? rows_start_ - offsets_end : 0;
}

bool DataPageBuilder::Fits(size_t row_size) const { return row_size <= Room(); }

uint8_t DataPageBuilder::Add(std::span<const uint8_t> row) {
  std::copy(row.begin(), row.end(), AddRow(row.size()).begin());
  return static_cast<uint8_t>(row_count_ - 1);
}

std::span<uint8_t> DataPageBuilder::AddRow(size_t size) {
  assert(Fits(size));
  rows_start_ -= size;
  const size_t index = row_count_++;
  PutU16(bytes_, format_.data_row_offsets + 2 * index, static_cast<uint32_t>(rows_start_));
  PutU16(bytes_, format_.data_row_count, static_cast<uint32_t>(row_count_));
  const size_t offsets_end = format_.data_row_offsets + 2 * row_count_;
  PutU16(bytes_, kPageFreeSpaceOffset, static_cast<uint32_t>(rows_start_ - offsets_end));
  return std::span(bytes_).subspan(rows_start_, size);
}

}  // namespace vintrel::jet
