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
