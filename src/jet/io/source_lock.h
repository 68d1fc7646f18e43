// The source of a compaction, held from before anything of it is read until the caller lets
// it go: opened read-only; refused when another program has it open for writing, or its lock
// file, or when another compaction holds it; kept out of reach of Jet clients that open it
// meanwhile; and remembered as it was, so that a change made behind the hold is found before
// the file is trusted or deleted. How each system does it: posix/source_lock.cc,
// windows/source_lock.cc.
#pragma once

#include <string>
#include <string_view>

#include "jet/io/file_io.h"

namespace vintrel::jet {

class SourceLock {
 public:
  // Raises "Could not find file '<path>'." or "Could not use '<path>'; file already in use."
  explicit SourceLock(const std::string& path);

  const std::string& path() const { return path_; }
  // The open file, which the lock lives as long as: its last close lets the lock go.
  NativeFile descriptor() const { return file_.get(); }

  // Raises "The database '<path>' changed while it was compacted; <consequence>" when the
  // path no longer names the file locked, or the file's size, modification or change time
  // is not what it was when the lock was taken.
  void RequireUnchanged(std::string_view consequence) const;

 private:
  std::string path_;
  Descriptor file_;
  FileState taken_;
};

}  // namespace vintrel::jet
