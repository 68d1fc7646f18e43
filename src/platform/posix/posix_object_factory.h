// Object creation on POSIX: the file system is ours; the Jet engine is not provided yet.
#pragma once

#include "compaction/platform_objects.h"

namespace vintrel {

class PosixObjectFactory final : public ObjectFactory {
 public:
  std::shared_ptr<PlatformObject> CreateObject(ClassId classId) override;
};

}  // namespace vintrel
