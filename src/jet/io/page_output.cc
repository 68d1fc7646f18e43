#include "jet/io/page_output.h"

#include <algorithm>
#include <utility>

#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

// "2 GB", "40 KB": in the largest unit the size is a whole number of.
std::string SizeText(uint64_t bytes) {
  for (const auto& [shift, unit] : {std::pair{30, " GB"}, std::pair{20, " MB"}, std::pair{10, " KB"}}) {
    if (bytes % (uint64_t{1} << shift) == 0) return std::to_string(bytes >> shift) + unit;
  }
  return std::to_string(bytes) + " bytes";
}

}  // namespace

PageOutput::PageOutput(Descriptor file, const std::string& path, uint32_t page_size, uint64_t max_bytes)
    : path_(path), file_(std::move(file)), page_size_(page_size), max_bytes_(max_bytes) {}

void PageOutput::RequireWithinLimit(uint32_t number) const {
  if ((uint64_t{number} + 1) * page_size_ <= max_bytes_) return;
  throw JetError("The compacted copy '" + path_ + "' would be larger than " + SizeText(max_bytes_) +
                 ", the most a Jet 4 database can hold.");
}

void PageOutput::Reserve(uint32_t number) {
  RequireWithinLimit(number);
  reserved_.insert(number);
}

uint32_t PageOutput::Allocate() {
  while (reserved_.count(next_) != 0) ++next_;
  RequireWithinLimit(next_);
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
  if (!window_) window_.emplace(kWindowSize);
  const std::span<uint8_t> window = window_->bytes();
  const size_t at = static_cast<size_t>(number - window_first_) * page_size_;
  if (at > window_used_) std::fill(window.begin() + window_used_, window.begin() + at, 0);
  std::copy(bytes.begin(), bytes.end(), window.begin() + at);
  window_used_ = std::max(window_used_, at + bytes.size());
}

void PageOutput::WriteWindow() {
  if (window_used_ == 0) return;
  WriteExactly(file_.get(), static_cast<uint64_t>(window_first_) * page_size_, window_->bytes().first(window_used_),
               "'" + path_ + "'");
  // The disk starts on each window as soon as it is written (the call does not wait), so that
  // little is left to wait for when the copy is flushed.
  StartWriteBack(file_.get(), uint64_t{window_first_} * page_size_, window_used_, "'" + path_ + "'");
  window_used_ = 0;
}

uint32_t PageOutput::page_count() const {
  uint32_t count = next_;
  if (!reserved_.empty() && *reserved_.rbegin() + 1 > count) count = *reserved_.rbegin() + 1;
  return count;
}

void PageOutput::Finish() {
  WriteWindow();
  SetFileSize(file_.get(), static_cast<uint64_t>(page_count()) * page_size_, "'" + path_ + "'");
  // Only starts the writing to disk, so that the disk works while the copy is read back;
  // the owner of the file waits for it (TemporaryFile::Publish).
  StartWriteBack(file_.get(), 0, 0, "'" + path_ + "'");
  file_.Close("'" + path_ + "'");
}

}  // namespace vintrel::jet
