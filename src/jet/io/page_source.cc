#include "jet/io/page_source.h"

#include <algorithm>
#include <deque>
#include <utility>

#include "jet/io/present_memory.h"
#include "jet/io/recent_cache.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

// The file is read with pread in blocks, kept in a small cache of the blocks read last, and
// pages are views of their block, which they keep alive. A read call, not a mapping: on
// virtual machines a page fault costs several times the read of a whole block, and reads
// bring no SIGBUS when another program cuts the file short, only a short read, which
// raises. The size is the one the file had when it was opened; a file grown since is read
// no further. The cache is small on purpose: reading a block again from the kernel's page
// cache costs less than the processor caches that more blocks in memory push out.
//
// Blocks are taken from pieces of memory present from the start, half a megabyte at a time, as
// reads need them; a block is reused once neither the cache nor any page holds it. What the
// pool holds is bounded by the cache and the pages in use, which hold a block each at most.
class BlockPool : public std::enable_shared_from_this<BlockPool> {
 public:
  static constexpr size_t kBlocksPerPiece = 16;

  explicit BlockPool(size_t block_size) : block_size_(block_size) {}

  // A block, handed back to the pool when the last holder lets it go.
  std::shared_ptr<uint8_t> Take() {
    if (free_.empty()) {
      const std::span<uint8_t> piece = pieces_.emplace_back(block_size_ * kBlocksPerPiece).bytes();
      for (size_t i = kBlocksPerPiece; i-- > 0;) free_.push_back(piece.data() + i * block_size_);
    }
    uint8_t* block = free_.back();
    free_.pop_back();
    return std::shared_ptr<uint8_t>(block, [pool = shared_from_this()](uint8_t* b) { pool->free_.push_back(b); });
  }

 private:
  size_t block_size_;
  std::deque<PresentMemory> pieces_;
  std::vector<uint8_t*> free_;
};

class FileSource final : public PageSource {
 public:
  static constexpr uint64_t kBlockSize = uint64_t{32} << 10;
  static constexpr size_t kCachedBlocks = 16;

  FileSource(Descriptor file, uint64_t size, const std::string& path)
      : file_(std::move(file)),
        size_(size),
        subject_("'" + path + "'"),
        pool_(std::make_shared<BlockPool>(kBlockSize)) {}

  uint64_t size() const override { return size_; }

  SourceBytes Bytes(uint64_t offset, size_t size) const override {
    if (size == 0) return {};
    const uint64_t first = offset / kBlockSize;
    if (first == (offset + size - 1) / kBlockSize) {
      std::shared_ptr<const uint8_t> block = Block(first);
      return {{block.get() + (offset - first * kBlockSize), size}, std::move(block)};
    }
    auto joined = std::make_shared<std::vector<uint8_t>>(size);
    for (uint64_t done = 0; done < size;) {
      const uint64_t at = offset + done;
      const size_t part = static_cast<size_t>(std::min<uint64_t>(size - done, kBlockSize - at % kBlockSize));
      const std::shared_ptr<const uint8_t> block = Block(at / kBlockSize);
      std::copy_n(block.get() + at % kBlockSize, part, joined->begin() + static_cast<ptrdiff_t>(done));
      done += part;
    }
    return {*joined, std::move(joined)};
  }

 private:
  std::shared_ptr<const uint8_t> Block(uint64_t number) const {
    if (const std::shared_ptr<const uint8_t>* cached = cached_.Find(number)) return *cached;
    std::shared_ptr<uint8_t> block = pool_->Take();
    const uint64_t start = number * kBlockSize;
    const size_t length = static_cast<size_t>(std::min(kBlockSize, size_ - start));
    if (ReadUpTo(file_.get(), start, {block.get(), length}, subject_) < length) {
      throw JetError("Could not read " + subject_ + ": the file was cut short while it was read.");
    }
    return cached_.Add(number, std::move(block));
  }

  Descriptor file_;
  uint64_t size_;
  std::string subject_;
  std::shared_ptr<BlockPool> pool_;
  mutable RecentCache<uint64_t, std::shared_ptr<const uint8_t>> cached_{kCachedBlocks};
};

class BytesSource final : public PageSource {
 public:
  explicit BytesSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  uint64_t size() const override { return bytes_.size(); }
  SourceBytes Bytes(uint64_t offset, size_t size) const override {
    return {std::span(bytes_).subspan(offset, size), nullptr};
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

void PageSource::Read(uint64_t offset, std::span<uint8_t> out) const {
  const SourceBytes read = Bytes(offset, out.size());
  std::copy(read.bytes.begin(), read.bytes.end(), out.begin());
}

std::unique_ptr<PageSource> OpenFileSource(const std::string& path) {
  uint64_t size;
  Descriptor file = OpenRegularFile(path, size);
  return std::make_unique<FileSource>(std::move(file), size, path);
}

std::unique_ptr<PageSource> MemorySource(std::vector<uint8_t> bytes) {
  return std::make_unique<BytesSource>(std::move(bytes));
}

}  // namespace vintrel::jet
