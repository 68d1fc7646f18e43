#include "jet/compact/row_pages.h"

#include "jet/coding.h"

namespace vintrel::jet {

uint32_t RowPages::Add(std::span<const uint8_t> row) {
  if (!page_ || !page_->Fits(row.size())) {
    if (page_) output_.Write(page_->number(), page_->bytes());
    page_.emplace(format_, output_.Allocate(), owner_);
    pages_.push_back(page_->number());
  }
  return PackRowPointer(page_->number(), page_->Add(row));
}

std::optional<uint32_t> RowPages::Finish() {
  if (!page_) return std::nullopt;
  output_.Write(page_->number(), page_->bytes());
  return page_->Room() > 0 ? std::optional<uint32_t>(page_->number()) : std::nullopt;
}

}  // namespace vintrel::jet
