// Memory whose pages are all present from the start: one call maps them, where touching
// fresh memory takes a page fault for each 4 KB page, which on virtual machines costs more
// than filling the page. For the buffers the engine fills again and again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vintrel::jet {

class PresentMemory {
 public:
  // Raises std::bad_alloc when the memory cannot be had.
  explicit PresentMemory(size_t size);
  ~PresentMemory();
  PresentMemory(const PresentMemory&) = delete;
  PresentMemory& operator=(const PresentMemory&) = delete;

  std::span<uint8_t> bytes() const { return {base_, size_}; }

 private:
  uint8_t* base_ = nullptr;
  size_t size_;
};

}  // namespace vintrel::jet
