// Every object is asked for IDispatch, the one interface all our calls go through, and is
// wrapped according to its class identifier rather than by probing its interfaces.
// CLSCTX_SERVER accepts whichever kind of server the class is registered with. Our own
// objects stand in only for a class that is not registered (REGDB_E_CLASSNOTREG): a
// registered class that fails otherwise is the failure to report.
#include "platform/windows/com_object_factory.h"

#include "platform/windows/windows_api.h"

#include <string>

#include <wrl/client.h>

#include "platform/windows/com_error.h"
#include "platform/windows/com_objects.h"
#include "platform/windows/native_engine_object.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win32_file_system.h"
#include "platform/windows/windows_directory_lock.h"

namespace vintrel {
namespace {

HRESULT CreateInstance(REFCLSID classId, IDispatch** object) {
  return ::CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IDispatch, reinterpret_cast<void**>(object));
}

}  // namespace

ComObjectFactory::ComObjectFactory(Creator create) : create_(create ? std::move(create) : Creator(CreateInstance)) {}

std::shared_ptr<PlatformObject> ComObjectFactory::CreateObject(ClassId classId) {
  const std::wstring text = ToWide(classId.text);
  CLSID classIdentifier;
  HRESULT status = ::CLSIDFromString(text.c_str(), &classIdentifier);
  if (FAILED(status)) RaiseComFailure(status);

  Microsoft::WRL::ComPtr<IDispatch> object;
  status = create_(classIdentifier, object.ReleaseAndGetAddressOf());
  if (status == REGDB_E_CLASSNOTREG && classId.text == kJetEngineClass.text) {
    object = CreateNativeEngineObject();
    status = S_OK;
  }
  if (status == REGDB_E_CLASSNOTREG && classId.text == kFileSystemObjectClass.text) {
    return std::make_shared<Win32FileSystem>();
  }
  if (FAILED(status)) RaiseComFailure(status);

  DispatchObject dispatch(std::move(object));
  if (classId.text == kFileSystemObjectClass.text) {
    return std::make_shared<ComFileSystem>(std::move(dispatch));
  }
  if (classId.text == kJetEngineClass.text) return std::make_shared<ComEngine>(std::move(dispatch));
  return std::make_shared<ComObject>(std::move(dispatch));
}

std::unique_ptr<DirectoryLock> ComObjectFactory::LockCurrentDirectory() {
  return std::make_unique<WindowsDirectoryLock>();
}

}  // namespace vintrel
