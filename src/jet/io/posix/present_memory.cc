#include "jet/io/present_memory.h"

#include <sys/mman.h>

#include <new>

namespace vintrel::jet {

PresentMemory::PresentMemory(size_t size) : size_(size) {
  // mmap refuses a length of 0.
  if (size_ == 0) return;
  void* mapping = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  base_ = static_cast<uint8_t*>(mapping);
}

PresentMemory::~PresentMemory() {
  if (base_ != nullptr) ::munmap(base_, size_);
}

}  // namespace vintrel::jet
