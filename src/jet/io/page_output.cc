#include "jet/io/page_output.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vintrel::jet {

PageOutput::PageOutput(Descriptor file, const std::string& path, uint32_t page_size)
    : path_(path), file_(std::move(file)), page_size_(page_size) {}

uint32_t PageOutput::Allocate() {
  while (reserved_.count(next_) != 0) ++next_;
  return next_++;
}

void PageOutput::Write(uint32_t number, std::span<const uint8_t> bytes) {
  const bool follows = !pending_.empty() && pending_.size() < kPendingLimit &&
                       number == pending_first_ + pending_.size() / page_size_;
  if (!follows) {
    WritePending();
    pending_first_ = number;
  }
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
}

void PageOutput::WritePending() {
  WriteExactly(file_.get(), static_cast<uint64_t>(pending_first_) * page_size_, pending_, "'" + path_ + "'");
  pending_.clear();
}

uint32_t PageOutput::page_count() const {
  uint32_t count = next_;
  if (!reserved_.empty() && *reserved_.rbegin() + 1 > count) count = *reserved_.rbegin() + 1;
  return count;
}

void PageOutput::Finish() {
  WritePending();
  if (::ftruncate(file_.get(), static_cast<off_t>(static_cast<uint64_t>(page_count()) * page_size_)) != 0) {
    RaisePathError("size", path_, errno);
  }
  if (::fsync(file_.get()) != 0) RaisePathError("flush", path_, errno);
  file_.Close("'" + path_ + "'");
}

}  // namespace vintrel::jet
