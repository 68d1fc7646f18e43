// The source of a compaction, held from before anything of it is read until the caller lets
// it go: opened read-only; refused when another program has it open (in_use.h) or when
// another compaction holds it; kept out of reach of Jet clients that open it meanwhile, by a
// read lock over all its bytes, which makes their write locks fail; and remembered as it was,
// so that a change made behind the locks is found before the file is trusted or deleted.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "jet/io/file_io.h"

namespace vintrel::jet {

class SourceLock {
 public:
  // Raises "Could not find file '<path>'." or "Could not use '<path>'; file already in use."
  explicit SourceLock(const std::string& path);

  const std::string& path() const { return path_; }
  // The file's descriptor, which the lock lives as long as: its last close lets the lock go.
  int descriptor() const { return file_.get(); }

  // Raises "The database '<path>' changed while it was compacted; <consequence>" when the
  // path no longer names the file locked, or the file's size, modification or change time
  // is not what it was when the lock was taken.
  void RequireUnchanged(std::string_view consequence) const;

 private:
  std::string path_;
  Descriptor file_;
  struct stat taken_;
};

}  // namespace vintrel::jet
