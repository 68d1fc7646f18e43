// Builds a data page (type 0x01) of table rows, long values or usage maps; the layout is
// the one DataPage reads (jet/pages/data_page.h):
//
//   0 0x01 | 1 0x01 | 2 (2) free space | 4 (4) owner | 8 (4) 0 | 12 (2) row count
//   14.. row offsets, 2 bytes each | free space | rows, the first one at the page end
//
// Rows are packed from the end of the page down, so a full page has no gaps.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/format.h"

namespace vintrel::jet {

// A row number is one byte of a row pointer.
inline constexpr size_t kMaxRowsPerPage = 255;

class DataPageBuilder {
 public:
  DataPageBuilder(const Format& format, uint32_t number, uint32_t owner);
  // Starts page `number` afresh in the same memory.
  void Reset(uint32_t number, uint32_t owner);

  uint32_t number() const { return number_; }
  size_t row_count() const { return row_count_; }
  // Room for one more row of this size, its offset entry included.
  bool Fits(size_t row_size) const;
  // The largest row that would still fit.
  size_t Room() const;
  // Appends a row; returns its row number. REQUIRES: Fits(row.size()).
  uint8_t Add(std::span<const uint8_t> row);
  // Appends a row of `size` bytes, for the caller to fill; its row number is row_count() - 1.
  // REQUIRES: Fits(size).
  std::span<uint8_t> AddRow(size_t size);
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  const Format& format_;
  uint32_t number_;
  std::vector<uint8_t> bytes_;
  size_t row_count_ = 0;
  size_t rows_start_;  // lowest byte used by rows
};

// The largest row a data page holds.
inline size_t MaxRowSize(const Format& format) {
  return format.page_size - format.data_row_offsets - 2;
}

}  // namespace vintrel::jet
