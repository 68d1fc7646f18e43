// A table's rows packed into data pages that it owns, in the order they are added, each page
// written as soon as the next row does not fit.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "jet/format.h"
#include "jet/io/page_output.h"
#include "jet/pages/data_page_builder.h"

namespace vintrel::jet {

class RowPages {
 public:
  RowPages(const Format& format, PageOutput& output, uint32_t owner)
      : format_(format), output_(output), owner_(owner) {}

  // Returns the row's pointer.
  uint32_t Add(std::span<const uint8_t> row);
  // Writes the last page; returns it if it has room left, for the map of pages with free space.
  std::optional<uint32_t> Finish();

  // Every page, in the order written.
  const std::vector<uint32_t>& pages() const { return pages_; }

 private:
  const Format& format_;
  PageOutput& output_;
  uint32_t owner_;
  std::optional<DataPageBuilder> page_;
  std::vector<uint32_t> pages_;
};

}  // namespace vintrel::jet
