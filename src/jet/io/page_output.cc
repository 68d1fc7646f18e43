#include "jet/io/page_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
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
  if (number < window_first_) {
    WriteExactly(file_.get(), static_cast<uint64_t>(number) * page_size_, bytes, "'" + path_ + "'");
    return;
  }
  if ((static_cast<uint64_t>(number - window_first_) + 1) * page_size_ > kWindowSize) {
    WriteWindow();
    window_first_ = number;
  }
  if (window_.empty()) window_.resize(kWindowSize);
  const size_t at = static_cast<size_t>(number - window_first_) * page_size_;
  if (at > window_used_) std::fill(window_.begin() + window_used_, window_.begin() + at, 0);
  std::copy(bytes.begin(), bytes.end(), window_.begin() + at);
  window_used_ = std::max(window_used_, at + bytes.size());
}

void PageOutput::WriteWindow() {
  WriteExactly(file_.get(), static_cast<uint64_t>(window_first_) * page_size_,
               std::span(window_).first(window_used_), "'" + path_ + "'");
  window_used_ = 0;
}

uint32_t PageOutput::page_count() const {
  uint32_t count = next_;
  if (!reserved_.empty() && *reserved_.rbegin() + 1 > count) count = *reserved_.rbegin() + 1;
  return count;
}

void PageOutput::Finish() {
  WriteWindow();
  if (::ftruncate(file_.get(), static_cast<off_t>(static_cast<uint64_t>(page_count()) * page_size_)) != 0) {
    RaisePathError("size", path_, errno);
  }
  // Only starts the writing to disk, so that the disk works while the copy is read back;
  // the owner of the file waits for it (TemporaryFile::Publish).
  if (::sync_file_range(file_.get(), 0, 0, SYNC_FILE_RANGE_WRITE) != 0) RaisePathError("flush", path_, errno);
  file_.Close("'" + path_ + "'");
}

}  // namespace vintrel::jet
