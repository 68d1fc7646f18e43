#include "jet/compact/spilling_sorter.h"

#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {
constexpr size_t kReadBuffer = 64 * 1024;
}  // namespace

std::string RunFile::Subject() const { return "a scratch file in '" + directory_ + "'"; }

void RunFile::Append(std::span<const uint8_t> bytes) {
  if (!file_.valid()) file_ = CreateScratchFile(directory_);
  WriteExactly(file_.get(), size_, bytes, Subject());
  size_ += bytes.size();
}

void RunFile::Read(uint64_t offset, std::span<uint8_t> out) const { ReadExactly(file_.get(), offset, out, Subject()); }

void RunFile::Clear() {
  file_ = Descriptor();
  size_ = 0;
}

const uint8_t* RunBytes::Refill(size_t count) {
  const size_t kept = held_ - next_;
  if (kept == 0 && at_ == end_) return nullptr;
  const size_t read = std::min<uint64_t>(std::max(count, kReadBuffer), end_ - at_);
  if (kept + read < count) throw JetError("A record in a scratch file runs past the end of its run.");
  std::copy(buffer_.begin() + static_cast<ptrdiff_t>(next_), buffer_.begin() + static_cast<ptrdiff_t>(held_),
            buffer_.begin());
  if (buffer_.size() < kept + read) buffer_.resize(kept + read);
  file_->Read(at_, std::span(buffer_).subspan(kept, read));
  at_ += read;
  held_ = kept + read;
  next_ = 0;
  return buffer_.data();
}

}  // namespace vintrel::jet
