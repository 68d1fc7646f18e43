// Single-threaded, because the platform objects are created and called on the window's thread,
// which runs a message loop. S_FALSE (COM already set up on this thread) is a success, and
// CoUninitialize balances it as it does S_OK. A failure throws from the constructor, so nothing
// is uninitialised.
#include "platform/windows/com_apartment.h"

#include "platform/windows/windows_api.h"

#include "platform/windows/com_error.h"

namespace vintrel {

ComApartment::ComApartment() {
  const HRESULT status = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(status)) RaiseComFailure(status);
}

ComApartment::~ComApartment() { ::CoUninitialize(); }

}  // namespace vintrel
