// Class identifiers are compared as text, in the registry form the pass gives. An unknown
// class raises "Class not registered", COM's text for it, so the pass reports the same failure
// on both platforms.
#include "platform/posix/posix_object_factory.h"

#include "compaction/raised_error.h"
#include "platform/posix/native_jet_engine.h"
#include "platform/posix/posix_directory_lock.h"
#include "platform/posix/posix_file_system.h"

namespace vintrel {

std::shared_ptr<PlatformObject> PosixObjectFactory::CreateObject(ClassId classId) {
  if (classId.text == kFileSystemObjectClass.text) return std::make_shared<PosixFileSystem>();
  if (classId.text == kJetEngineClass.text) return std::make_shared<NativeJetEngine>();
  throw RaisedError(u"Class not registered");
}

std::unique_ptr<DirectoryLock> PosixObjectFactory::LockCurrentDirectory() {
  return std::make_unique<PosixDirectoryLock>();
}

}  // namespace vintrel
