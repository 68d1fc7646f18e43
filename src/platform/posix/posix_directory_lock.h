// The current directory's lock on POSIX: flock on the directory itself, so nothing is
// created in it and the kernel drops the lock with the last descriptor, when the process
// ends however it ends.
#pragma once

#include "compaction/platform_objects.h"

namespace vintrel {

class PosixDirectoryLock final : public DirectoryLock {
 public:
  // Raises AnotherCompactionRunning when another open descriptor holds the lock.
  PosixDirectoryLock();
  ~PosixDirectoryLock() override;

  PosixDirectoryLock(const PosixDirectoryLock&) = delete;
  PosixDirectoryLock& operator=(const PosixDirectoryLock&) = delete;

 private:
  int fd_;
};

}  // namespace vintrel
