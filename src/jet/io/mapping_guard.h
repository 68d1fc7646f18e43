// Keeps a read-only file mapping safe to read when another program cuts the file short.
//
// Touching a mapped page that lies past the new end of its file raises SIGBUS, which ends
// the process. While a guard covers the mapping, the process's SIGBUS handler maps a page of
// zeros over the lost page instead and marks the guard, so the read goes on with zeros and
// the reader, looking at the guard before it trusts what it read, raises an error. A SIGBUS
// outside every guarded mapping goes to the handler that was there before, or ends the
// process as it would have.
#pragma once

#include <cstddef>

namespace vintrel::jet {

class MappingGuard {
 public:
  // Guards [base, base + size); raises JetError when too many mappings are guarded at once.
  MappingGuard(const void* base, size_t size);
  ~MappingGuard();
  MappingGuard(const MappingGuard&) = delete;
  MappingGuard& operator=(const MappingGuard&) = delete;

  // True once a page of the mapping was found past the end of the file.
  bool cut_short() const;

 private:
  size_t slot_;
};

}  // namespace vintrel::jet
