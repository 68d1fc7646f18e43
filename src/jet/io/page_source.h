// Where the pages of a database come from: a file opened read-only and read in blocks, or
// bytes in memory (the fuzzer and tests). Neither can write.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "jet/io/file_io.h"

namespace vintrel::jet {

// Bytes of a source, and what keeps them readable: the block of the file they were read
// into, or nothing where the source itself holds them.
struct SourceBytes {
  std::span<const uint8_t> bytes;
  std::shared_ptr<const void> keep;
};

class PageSource {
 public:
  virtual ~PageSource() = default;
  virtual uint64_t size() const = 0;
  // The `size` bytes from `offset`, a range within size(); they stay readable while `keep`
  // and the source live. Raises a JetError for a file that can no longer be read whole.
  virtual SourceBytes Bytes(uint64_t offset, size_t size) const = 0;
  // Fills `out` from `offset`; the range lies within size().
  void Read(uint64_t offset, std::span<uint8_t> out) const;
};

// Raises as OpenRegularFile (file_io.h) does.
std::unique_ptr<PageSource> OpenFileSource(const std::string& path);
std::unique_ptr<PageSource> MemorySource(std::vector<uint8_t> bytes);

}  // namespace vintrel::jet
