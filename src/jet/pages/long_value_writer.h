// Writes the long values (Memo, OLE) of one column to long-value pages: data pages whose
// owner word is "LVAL". A value that fits a page is one row (header flag 0x40); a larger
// one is a chain of rows, each starting with the row pointer of the next (0 in the last),
// filling each page it passes through. The 12-byte header the table row stores is
// described in jet/pages/long_value.h.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "jet/io/page_output.h"
#include "jet/pages/data_page_builder.h"
#include "jet/pages/long_value.h"

namespace vintrel::jet {

using LongValueHeader = std::array<uint8_t, kLongValueHeaderSize>;

class LongValueWriter {
 public:
  LongValueWriter(const Format& format, PageOutput& output);

  // Writes the value out of line, piece by piece as it comes, and returns the header that
  // refers to it.
  LongValueHeader Write(LongValuePieces& value);
  LongValueHeader Write(std::span<const uint8_t> value);
  // Writes the page still being filled.
  void Flush();
  // Every page this writer has used, in increasing order.
  const std::vector<uint32_t>& pages() const { return pages_; }
  // The page with room left, if any: the column's free-space map names it.
  std::optional<uint32_t> open_page() const;

 private:
  void StartPage(uint32_t number);

  const Format& format_;
  PageOutput& output_;
  // The page being filled; the memory is kept from page to page.
  std::optional<DataPageBuilder> page_;
  bool open_ = false;
  std::vector<uint32_t> pages_;
};

// Appends to `out` the header of a value stored inside the row, followed by the value itself.
void AppendInlineLongValue(std::span<const uint8_t> value, std::vector<uint8_t>& out);

}  // namespace vintrel::jet
