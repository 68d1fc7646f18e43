// The last close of a deleted file frees its blocks, which takes time in proportion to the
// file's size (35 to 60 ms for 131 MB on ext4). A process about to end waits for it, whichever
// of its threads makes the close; a process of its own can make it instead.
#pragma once

#include <optional>
#include <span>

#include "jet/io/file_io.h"

namespace vintrel {

// A process that holds copies of some descriptors of this one until this object is gone, then
// closes them and ends: close this process's own before, and the orphan's closes are the last.
// It is nobody's child to wait for, and holds nothing else of this process.
class OrphanCloser {
 public:
  // Empty when no process could be started. Safe with other threads running: the new
  // processes make only system calls that are safe after such a fork.
  static std::optional<OrphanCloser> Start(std::span<const int> descriptors);

 private:
  explicit OrphanCloser(jet::Descriptor go) : go_(std::move(go)) {}

  // Its closing (by this object, or by the system when this process ends) is the orphan's
  // signal: the end of the pipe it waits on.
  jet::Descriptor go_;
};

}  // namespace vintrel
