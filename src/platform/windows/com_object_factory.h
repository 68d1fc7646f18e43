// Object creation through COM: CoCreateInstance by class identifier, asking for IDispatch; the
// directory lock is a named mutex. Where the platform has no JetEngine or FileSystemObject
// class registered, our own serve: the engine of src/jet as an IDispatch object
// (native_engine_object.h), the file operations made with Win32 (win32_file_system.h).
#pragma once

#include "platform/windows/windows_api.h"

#include <functional>

#include "compaction/platform_objects.h"

namespace vintrel {

class ComObjectFactory final : public ObjectFactory {
 public:
  // Creates an instance of a class for IDispatch, as CoCreateInstance does.
  using Creator = std::function<HRESULT(REFCLSID classId, IDispatch** object)>;

  // `create` is CoCreateInstance unless a test gives its own.
  explicit ComObjectFactory(Creator create = {});

  // The object's wrapper follows its class: the Scripting Runtime's FileSystemObject is a
  // FileSystem, Jet's JetEngine an Engine, any other class a plain ComObject.
  std::shared_ptr<PlatformObject> CreateObject(ClassId classId) override;
  std::unique_ptr<DirectoryLock> LockCurrentDirectory() override;

 private:
  Creator create_;
};

}  // namespace vintrel
