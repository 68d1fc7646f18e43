// The source of a compaction, opened read-only under an exclusive advisory lock for the
// whole compaction, so that a second compaction of the same file fails at once.
#pragma once

#include <string>

#include "jet/io/file_io.h"

namespace vintrel::jet {

class SourceLock {
 public:
  // Raises "Could not find file '<path>'." or "Could not use '<path>'; file already in use."
  explicit SourceLock(const std::string& path);

 private:
  Descriptor file_;
};

}  // namespace vintrel::jet
