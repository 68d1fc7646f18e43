// Object creation on POSIX: the file system and the Jet engine are our own.
#pragma once

#include "compaction/platform_objects.h"

namespace vintrel {

class PosixObjectFactory final : public ObjectFactory {
 public:
  std::shared_ptr<PlatformObject> CreateObject(ClassId classId) override;
  std::unique_ptr<DirectoryLock> LockCurrentDirectory() override;
};

}  // namespace vintrel
