#include "jet/io/page_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/jet_error.h"

namespace vintrel::jet {

PageOutput::PageOutput(int fd, const std::string& path, uint32_t page_size)
    : path_(path), fd_(fd), page_size_(page_size) {}

PageOutput::~PageOutput() {
  if (fd_ >= 0) ::close(fd_);
}

void PageOutput::Fail(const std::string& what) const {
  throw JetError("Could not " + what + " '" + path_ + "': " + std::strerror(errno) + ".");
}

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
  const uint64_t offset = static_cast<uint64_t>(pending_first_) * page_size_;
  size_t done = 0;
  while (done < pending_.size()) {
    ssize_t n = ::pwrite(fd_, pending_.data() + done, pending_.size() - done,
                         static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("write");
    done += static_cast<size_t>(n);
  }
  pending_.clear();
}

uint32_t PageOutput::page_count() const {
  uint32_t count = next_;
  if (!reserved_.empty() && *reserved_.rbegin() + 1 > count) count = *reserved_.rbegin() + 1;
  return count;
}

void PageOutput::Finish() {
  WritePending();
  if (::ftruncate(fd_, static_cast<off_t>(static_cast<uint64_t>(page_count()) * page_size_)) != 0) {
    Fail("size");
  }
  if (::fsync(fd_) != 0) Fail("flush");
  if (::close(fd_) != 0) {
    fd_ = -1;
    Fail("close");
  }
  fd_ = -1;
}

}  // namespace vintrel::jet
