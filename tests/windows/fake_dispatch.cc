#include "fake_dispatch.h"

namespace vintrel::testing {
namespace {

std::wstring ArgumentText(const VARIANT& argument) {
  switch (argument.vt) {
    case VT_BSTR:
      return L"string " + std::wstring(argument.bstrVal, ::SysStringLen(argument.bstrVal));
    case VT_BOOL:
      return argument.boolVal == VARIANT_TRUE ? L"true" : argument.boolVal == VARIANT_FALSE ? L"false" : L"bad bool";
    default:
      return L"type " + std::to_wstring(argument.vt);
  }
}

}  // namespace

HRESULT FakeDispatch::QueryInterface(REFIID id, void** object) {
  if (id == IID_IUnknown || id == IID_IDispatch) {
    *object = static_cast<IDispatch*>(this);
  } else if (id == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT FakeDispatch::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  for (UINT i = 0; i < count; ++i) {
    members_.emplace_back(names[i]);
    ids[i] = static_cast<DISPID>(members_.size());
  }
  return S_OK;
}

HRESULT FakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* parameters,
                             VARIANT* result, EXCEPINFO* exception, UINT*) {
  RecordedCall call;
  call.member = members_.at(static_cast<size_t>(id) - 1);
  call.kind = kind;
  call.namedPropertyPut = parameters->cNamedArgs == 1 && parameters->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
  for (UINT i = parameters->cArgs; i > 0; --i) call.arguments.push_back(ArgumentText(parameters->rgvarg[i - 1]));
  calls.push_back(call);

  if (FAILED(status)) {
    if (!errorObjectDescription.empty()) {
      ICreateErrorInfo* creator = nullptr;
      ::CreateErrorInfo(&creator);
      creator->SetDescription(const_cast<wchar_t*>(errorObjectDescription.c_str()));
      IErrorInfo* info = nullptr;
      creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
      ::SetErrorInfo(0, info);
      info->Release();
      creator->Release();
    }
    if (status == DISP_E_EXCEPTION && fillException) fillException(*exception);
    return status;
  }
  if (result != nullptr) ::VariantCopy(result, &this->result);
  return S_OK;
}

HRESULT FakeDispatch::InterfaceSupportsErrorInfo(REFIID id) {
  return id == IID_IDispatch ? S_OK : S_FALSE;
}

}  // namespace vintrel::testing
