// Object creation through COM: CoCreateInstance by class identifier, asking for IDispatch; the
// directory lock is a named mutex.
#pragma once

#include "compaction/platform_objects.h"

namespace vintrel {

class ComObjectFactory final : public ObjectFactory {
 public:
  // The object's wrapper follows its class: the Scripting Runtime's FileSystemObject is a
  // FileSystem, Jet's JetEngine an Engine, any other class a plain ComObject.
  std::shared_ptr<PlatformObject> CreateObject(ClassId classId) override;
  std::unique_ptr<DirectoryLock> LockCurrentDirectory() override;
};

}  // namespace vintrel
