// Class identifiers are compared as text, in the registry form the pass gives. An unknown
// class raises "Class not registered", COM's text for it, so the pass reports the same failure
// on both platforms.
#include "platform/posix/posix_object_factory.h"

#include "compaction/raised_error.h"
#include "platform/posix/native_jet_engine.h"
#include "platform/posix/posix_directory_lock.h"
#include "platform/posix/posix_file_system.h"

namespace vintrel {
namespace {

class PassLock final : public DirectoryLock {
 public:
  explicit PassLock(std::shared_ptr<SourceHolds> holds) : holds_(std::move(holds)) {}
  ~PassLock() override { holds_->ReleaseAll(); }

 private:
  PosixDirectoryLock directory_;
  std::shared_ptr<SourceHolds> holds_;
};

}  // namespace

std::shared_ptr<PlatformObject> PosixObjectFactory::CreateObject(ClassId classId) {
  if (classId.text == kFileSystemObjectClass.text) return std::make_shared<PosixFileSystem>(holds_);
  if (classId.text == kJetEngineClass.text) return std::make_shared<NativeJetEngine>(holds_, salvage_);
  throw RaisedError(u"Class not registered");
}

std::unique_ptr<DirectoryLock> PosixObjectFactory::LockCurrentDirectory() {
  return std::make_unique<PassLock>(holds_);
}

}  // namespace vintrel
