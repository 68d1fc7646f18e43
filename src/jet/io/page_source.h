// Where the pages of a database come from: a file opened read-only, or bytes in memory
// (the fuzzer and tests). Neither can write.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vintrel::jet {

class PageSource {
 public:
  virtual ~PageSource() = default;
  virtual uint64_t size() const = 0;
  // Fills `out` from `offset`; the range lies within size().
  virtual void Read(uint64_t offset, std::span<uint8_t> out) const = 0;
};

// Raises JetError "Could not find file '<path>'." when the file does not exist.
std::unique_ptr<PageSource> OpenFileSource(const std::string& path);
std::unique_ptr<PageSource> MemorySource(std::vector<uint8_t> bytes);

}  // namespace vintrel::jet
