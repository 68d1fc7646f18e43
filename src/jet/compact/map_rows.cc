// Packs the map rows of all tables into shared pages, a new page whenever a row does not fit
// the current one; a map too large for a row spills onto map pages of its own.
#include "jet/compact/map_rows.h"

#include "jet/coding.h"
#include "jet/pages/usage_map_builder.h"

namespace vintrel::jet {

uint32_t MapRows::Add(const std::vector<uint8_t>& row) {
  if (!page_ || !page_->Fits(row.size())) {
    Flush();
    page_.emplace(format_, output_.Allocate(), 0);
  }
  uint8_t index = page_->Add(row);
  return PackRowPointer(page_->number(), index);
}

uint32_t MapRows::AddMapOf(const std::vector<uint32_t>& pages) {
  std::vector<uint32_t> map_pages;
  return Add(BuildUsageMap(format_, pages, output_, map_pages));
}

void MapRows::Flush() {
  if (page_) output_.Write(page_->number(), page_->bytes());
  page_.reset();
}

}  // namespace vintrel::jet
