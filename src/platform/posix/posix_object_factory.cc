#include "platform/posix/posix_object_factory.h"

#include "compaction/raised_error.h"
#include "platform/posix/posix_file_system.h"

namespace vintrel {

std::shared_ptr<PlatformObject> PosixObjectFactory::CreateObject(ClassId classId) {
  if (classId.text == kFileSystemObjectClass.text) return std::make_shared<PosixFileSystem>();
  if (classId.text == kJetEngineClass.text) {
    throw RaisedError(u"Provider cannot be found. It may not be properly installed.");
  }
  throw RaisedError(u"Class not registered");
}

}  // namespace vintrel
