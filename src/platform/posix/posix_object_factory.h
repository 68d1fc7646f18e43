// Object creation on POSIX: the file system and the Jet engine are our own. The objects of
// one factory share the sources the engine holds (source_holds.h), and a pass's directory
// lock lets go of what is still held when the pass ends.
#pragma once

#include <memory>

#include "compaction/platform_objects.h"
#include "platform/posix/source_holds.h"

namespace vintrel {

class PosixObjectFactory final : public ObjectFactory {
 public:
  std::shared_ptr<PlatformObject> CreateObject(ClassId classId) override;
  std::unique_ptr<DirectoryLock> LockCurrentDirectory() override;

 private:
  std::shared_ptr<SourceHolds> holds_ = std::make_shared<SourceHolds>();
};

}  // namespace vintrel
