// The rows holding the usage maps that the copied tables' definitions point to: of each
// table's data pages and free space, of its long-value pages and of each of its indexes.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/io/page_output.h"
#include "jet/pages/data_page_builder.h"

namespace vintrel::jet {

// Usage-map rows of every table share pages whose owner word is 0, as in Jet's own files.
class MapRows {
 public:
  MapRows(const Format& format, PageOutput& output) : format_(format), output_(output) {}
  // Stores a map row; returns its row pointer.
  uint32_t Add(const std::vector<uint8_t>& row);
  // Stores the usage map of `pages` (sorted); returns its row pointer.
  uint32_t AddMapOf(const std::vector<uint32_t>& pages);
  void Flush();

  // The maps' page as it stands, to go back to when a table's copy starts again (its pages
  // given up with PageOutput::Rewind): rows added since are forgotten, and a page written
  // meanwhile is written again with what it held at the checkpoint.
  using Checkpoint = std::optional<DataPageBuilder>;
  Checkpoint Save() const { return page_; }
  void Restore(const Checkpoint& saved) {
    page_.reset();
    if (saved) page_.emplace(*saved);
  }

 private:
  const Format& format_;
  PageOutput& output_;
  std::optional<DataPageBuilder> page_;
};

}  // namespace vintrel::jet
