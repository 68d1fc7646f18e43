#include "jet/io/page_source.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <optional>
#include <utility>

#include "jet/io/mapping_guard.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

// The file is mapped whole, read-only, so that pages come straight from the kernel's page
// cache: no call and no copy per page. Mapped pages count in the process's resident memory
// once touched, so the mapping is released window by window with MADV_DONTNEED, which keeps
// the bytes readable (a later read faults them in again from the page cache), so views
// handed out earlier stay valid. What a window holds is counted in the blocks the kernel
// maps at each fault (its fault-around, 64 KB), and the least recently read windows are
// released once the blocks held pass kResidentBudget, whatever the file's size. Counting
// blocks rather than windows lets the scattered single pages of an index walk cost what
// they hold, so they neither push out the windows a copy is reading nor call for a release
// at each step: a release is a system call, and a flush of the mapping's view on every
// processor that runs a thread of the process.
//
// A mapping brings one risk a read call does not have: should another program truncate the
// file while it is mapped, touching the lost part raises SIGBUS. The mapping's guard turns
// that into pages of zeros and a mark, and every later request for bytes raises an error
// instead of handing out what may have been read as zeros.
class MappedFileSource final : public PageSource {
 public:
  static constexpr uint64_t kWindowSize = uint64_t{4} << 20;
  static constexpr uint64_t kBlockSize = uint64_t{64} << 10;
  static constexpr uint64_t kResidentBudget = uint64_t{8} << 20;

  // Maps the first `size` bytes of `file`, which is what fstat gave; the mapping keeps the
  // file open, so the descriptor may be closed afterwards.
  MappedFileSource(const Descriptor& file, uint64_t size, const std::string& path)
      : size_(size), subject_("'" + path + "'"), windows_((size + kWindowSize - 1) / kWindowSize) {
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
      for (uint64_t block = offset / kBlockSize; block <= (offset + size - 1) / kBlockSize; ++block) Touch(block);
    }
    return {base_ + offset, size};
  }

 private:
  static constexpr uint64_t kBlocksPerWindow = kWindowSize / kBlockSize;
  static_assert(kBlocksPerWindow == 64, "a window's blocks are the bits of one word");

  struct Window {
    uint64_t blocks = 0;    // bit b: block b may be mapped in
    uint64_t last_read = 0;
  };

  void Touch(uint64_t block) const {
    const size_t index = block / kBlocksPerWindow;
    Window& window = windows_[index];
    window.last_read = ++reads_;
    const uint64_t bit = uint64_t{1} << (block % kBlocksPerWindow);
    if ((window.blocks & bit) != 0) return;
    if (window.blocks == 0) held_.push_back(index);
    window.blocks |= bit;
    ++held_blocks_;
    while (held_blocks_ * kBlockSize > kResidentBudget) ReleaseLeastRecent();
  }

  // The window read least recently: never the one just read, as the budget holds many blocks.
  void ReleaseLeastRecent() const {
    auto oldest = std::min_element(held_.begin(), held_.end(), [this](size_t a, size_t b) {
      return windows_[a].last_read < windows_[b].last_read;
    });
    Window& window = windows_[*oldest];
    const uint64_t start = *oldest * kWindowSize;
    const uint64_t length = std::min(kWindowSize, size_ - start);
    if (::madvise(static_cast<uint8_t*>(mapping_) + start, length, MADV_DONTNEED) != 0) {
      RaiseFileError("release the memory of", subject_, errno);
    }
    held_blocks_ -= static_cast<uint64_t>(std::popcount(window.blocks));
    window.blocks = 0;
    *oldest = held_.back();
    held_.pop_back();
  }

  void* mapping_ = nullptr;
  const uint8_t* base_ = nullptr;
  uint64_t size_;
  std::string subject_;
  std::optional<MappingGuard> guard_;
  mutable std::vector<Window> windows_;
  mutable std::vector<size_t> held_;  // windows with blocks mapped in
  mutable uint64_t held_blocks_ = 0;
  mutable uint64_t reads_ = 0;
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

// O_NONBLOCK: opening a FIFO or a device must not wait for a writer; only a regular file
// goes on to be read.
Descriptor OpenRegularFile(const std::string& path, struct stat& state) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) throw JetError("Could not find file '" + path + "'.");
    RaisePathError("open", path, errno);
  }
  if (::fstat(file.get(), &state) != 0 || !S_ISREG(state.st_mode)) {
    throw JetError("Could not open '" + path + "': not a regular file.");
  }
  return file;
}

std::unique_ptr<PageSource> OpenFileSource(const std::string& path) {
  struct stat state;
  const Descriptor file = OpenRegularFile(path, state);
  return std::make_unique<MappedFileSource>(file, static_cast<uint64_t>(state.st_size), path);
}

std::unique_ptr<PageSource> MemorySource(std::vector<uint8_t> bytes) {
  return std::make_unique<BytesSource>(std::move(bytes));
}

}  // namespace vintrel::jet
