#include "jet/io/page_source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <utility>

#include "jet/io/file_io.h"
#include "jet/io/mapping_guard.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

// The file is mapped whole, read-only, so that pages come straight from the kernel's page
// cache: no call and no copy per page. Mapped pages count in the process's resident memory
// once touched, so only the few windows read most recently stay mapped in; the others are
// released with MADV_DONTNEED, which keeps their bytes readable (a later read faults them
// in again from the page cache), so views handed out earlier stay valid. Resident memory
// for the file thus stays near kKeptWindows * kWindowSize, whatever the file's size.
//
// A mapping brings one risk a read call does not have: should another program truncate the
// file while it is mapped, touching the lost part raises SIGBUS. The mapping's guard turns
// that into pages of zeros and a mark, and every later request for bytes raises an error
// instead of handing out what may have been read as zeros.
class MappedFileSource final : public PageSource {
 public:
  static constexpr uint64_t kWindowSize = uint64_t{4} << 20;
  static constexpr size_t kKeptWindows = 4;

  // Maps the first `size` bytes of `file`, which is what fstat gave; the mapping keeps the
  // file open, so the descriptor may be closed afterwards.
  MappedFileSource(const Descriptor& file, uint64_t size, const std::string& path)
      : size_(size), subject_("'" + path + "'") {
    recent_.fill(kNoWindow);
    // mmap refuses a length of 0; an empty file has no bytes to view.
    if (size_ == 0) return;
    mapping_ = ::mmap(nullptr, size_, PROT_READ, MAP_SHARED, file.get(), 0);
    if (mapping_ == MAP_FAILED) RaisePathError("map", path, errno);
    base_ = static_cast<const uint8_t*>(mapping_);
    guard_.emplace(mapping_, size_);
  }
  ~MappedFileSource() override {
    guard_.reset();
    if (base_ != nullptr) ::munmap(mapping_, size_);
  }
  MappedFileSource(const MappedFileSource&) = delete;
  MappedFileSource& operator=(const MappedFileSource&) = delete;

  uint64_t size() const override { return size_; }

  std::span<const uint8_t> Bytes(uint64_t offset, size_t size) const override {
    if (guard_ && guard_->cut_short()) {
      throw JetError("Could not read " + subject_ + ": the file was cut short while it was read.");
    }
    if (size > 0) {
      Touch(offset / kWindowSize);
      Touch((offset + size - 1) / kWindowSize);
    }
    return {base_ + offset, size};
  }

 private:
  static constexpr uint64_t kNoWindow = UINT64_MAX;

  // Moves `window` to the front of the recent ones, releasing the least recent if it has to
  // make room.
  void Touch(uint64_t window) const {
    if (recent_[0] == window) return;
    auto found = std::find(recent_.begin(), recent_.end(), window);
    if (found == recent_.end()) {
      found = recent_.end() - 1;
      if (*found != kNoWindow) Release(*found);
      *found = window;
    }
    std::rotate(recent_.begin(), found, found + 1);
  }

  void Release(uint64_t window) const {
    const uint64_t start = window * kWindowSize;
    const uint64_t length = std::min(kWindowSize, size_ - start);
    if (::madvise(static_cast<uint8_t*>(mapping_) + start, length, MADV_DONTNEED) != 0) {
      RaiseFileError("release the memory of", subject_, errno);
    }
  }

  void* mapping_ = nullptr;
  const uint8_t* base_ = nullptr;
  uint64_t size_;
  std::string subject_;
  std::optional<MappingGuard> guard_;
  mutable std::array<uint64_t, kKeptWindows> recent_;  // most recent first
};

class BytesSource final : public PageSource {
 public:
  explicit BytesSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  uint64_t size() const override { return bytes_.size(); }
  std::span<const uint8_t> Bytes(uint64_t offset, size_t size) const override {
    return std::span(bytes_).subspan(offset, size);
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

void PageSource::Read(uint64_t offset, std::span<uint8_t> out) const {
  const std::span<const uint8_t> bytes = Bytes(offset, out.size());
  std::copy(bytes.begin(), bytes.end(), out.begin());
}

std::unique_ptr<PageSource> OpenFileSource(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) {
      throw JetError("Could not find file '" + path + "'.");
    }
    RaisePathError("open", path, errno);
  }
  struct stat info;
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw JetError("Could not open '" + path + "': not a regular file.");
  }
  return std::make_unique<MappedFileSource>(file, static_cast<uint64_t>(info.st_size), path);
}

std::unique_ptr<PageSource> MemorySource(std::vector<uint8_t> bytes) {
  return std::make_unique<BytesSource>(std::move(bytes));
}

}  // namespace vintrel::jet
