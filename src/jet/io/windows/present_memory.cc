// Committed memory: Windows has no call that makes the pages present at once; each is mapped
// when first touched.
#include "jet/io/present_memory.h"

#include <windows.h>

#include <new>

namespace vintrel::jet {

PresentMemory::PresentMemory(size_t size) : size_(size) {
  if (size_ == 0) return;
  void* memory = ::VirtualAlloc(nullptr, size_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (memory == nullptr) throw std::bad_alloc();
  base_ = static_cast<uint8_t*>(memory);
}

PresentMemory::~PresentMemory() {
  if (base_ != nullptr) ::VirtualFree(base_, 0, MEM_RELEASE);
}

}  // namespace vintrel::jet
