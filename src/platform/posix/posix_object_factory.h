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
  // `salvage` and `report` as NativeJetEngine and SourceHolds take them; the window wants
  // neither, the console may ask for both.
  explicit PosixObjectFactory(bool salvage = false, Reporter report = {})
      : salvage_(salvage), holds_(std::make_shared<SourceHolds>(std::move(report))) {}

  std::shared_ptr<PlatformObject> CreateObject(ClassId classId) override;
  std::unique_ptr<DirectoryLock> LockCurrentDirectory() override;

 private:
  bool salvage_;
  std::shared_ptr<SourceHolds> holds_;
};

}  // namespace vintrel
