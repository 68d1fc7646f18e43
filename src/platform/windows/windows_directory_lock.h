// The current directory's lock on Windows: a named mutex whose name is the directory's
// identity (volume serial number and file index), so every path that leads to the folder,
// drive letters, shares and letter case alike, meets the same mutex. Nothing is created in
// the folder, and the system destroys the mutex with the last handle, when the process ends
// however it ends.
#pragma once

#include "platform/windows/windows_api.h"

#include "compaction/platform_objects.h"

namespace vintrel {

class WindowsDirectoryLock final : public DirectoryLock {
 public:
  // Raises AnotherCompactionRunning when the mutex exists already.
  WindowsDirectoryLock();
  ~WindowsDirectoryLock() override;

  WindowsDirectoryLock(const WindowsDirectoryLock&) = delete;
  WindowsDirectoryLock& operator=(const WindowsDirectoryLock&) = delete;

 private:
  HANDLE mutex_;
};

}  // namespace vintrel
