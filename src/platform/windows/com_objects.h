// The platform objects as wrappers over the Scripting Runtime's and Jet's COM objects. Each
// wrapper holds one COM reference and releases it when destroyed, so a std::shared_ptr to a
// wrapper is one COM reference, released when the last copy goes. A member that the
// component leaves unimplemented (E_NOTIMPL) is served by our own Win32 operation instead
// (win32_file_system.h).
#pragma once

#include <memory>
#include <string>

#include "compaction/platform_objects.h"
#include "platform/windows/dispatch_object.h"
#include "platform/windows/win32_file_system.h"

namespace vintrel {

// Any COM object the factory created; the classes below add the operations of their kind.
class ComObject : public virtual PlatformObject {
 public:
  explicit ComObject(DispatchObject object) : object_(std::move(object)) {}

 protected:
  DispatchObject& object() { return object_; }

 private:
  DispatchObject object_;
};

// Scripting.File, for the file at the full path `path`.
class ComFile final : public File, public ComObject {
 public:
  ComFile(DispatchObject object, std::wstring path) : ComObject(std::move(object)), own_(std::move(path)) {}
  void Delete(bool force) override;
  void SetName(const std::u16string& name) override;

 private:
  Win32File own_;
};

// Scripting.FileSystemObject
class ComFileSystem final : public FileSystem, public ComObject {
 public:
  using ComObject::ComObject;
  bool FileExists(const std::u16string& path) override;
  void DeleteFile(const std::u16string& path, bool force) override;
  std::shared_ptr<File> GetFile(const std::u16string& path) override;

 private:
  Win32FileSystem own_;
};

// JRO.JetEngine
class ComEngine final : public Engine, public ComObject {
 public:
  using ComObject::ComObject;
  void CompactDatabase(const std::u16string& source, const std::u16string& destination) override;
};

}  // namespace vintrel
