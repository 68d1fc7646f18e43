// Member names are looked up on every call rather than cached: the pass makes only a handful
// of calls per database. The argument list handed to Invoke holds shallow copies of the
// VARIANTs, and `arguments` keeps ownership, so each VARIANT is cleared exactly once.
#include "platform/windows/dispatch_object.h"

#include <utility>

#include "platform/windows/bstr.h"
#include "platform/windows/com_error.h"

namespace vintrel {

Variant Variant::Boolean(bool value) {
  Variant variant;
  variant.value_.vt = VT_BOOL;
  variant.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return variant;
}

Variant Variant::String(std::u16string_view text) {
  Bstr string(text);
  Variant variant;
  variant.value_.vt = VT_BSTR;
  variant.value_.bstrVal = string.Release();
  return variant;
}

Variant::Variant(Variant&& other) noexcept {
  value_ = other.value_;
  ::VariantInit(&other.value_);
}

bool Variant::AsBoolean() const {
  if (value_.vt != VT_BOOL) RaiseComFailure(DISP_E_TYPEMISMATCH);
  return value_.boolVal != VARIANT_FALSE;
}

Microsoft::WRL::ComPtr<IDispatch> Variant::AsObject() const {
  if (value_.vt != VT_DISPATCH || value_.pdispVal == nullptr) RaiseComFailure(DISP_E_TYPEMISMATCH);
  return Microsoft::WRL::ComPtr<IDispatch>(value_.pdispVal);
}

Variant DispatchObject::Call(const wchar_t* member, std::vector<Variant> arguments) {
  return Invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments);
}

void DispatchObject::Put(const wchar_t* member, Variant value) {
  std::vector<Variant> arguments;
  arguments.push_back(std::move(value));
  Invoke(member, DISPATCH_PROPERTYPUT, arguments);
}

DISPID DispatchObject::MemberId(const wchar_t* member) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR name = const_cast<wchar_t*>(member);
  const HRESULT status = object_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(status)) RaiseComFailure(status, object_.Get(), IID_IDispatch);
  return id;
}

Variant DispatchObject::Invoke(const wchar_t* member, WORD kind, std::vector<Variant>& arguments) {
  const DISPID id = MemberId(member);
  // IDispatch takes the arguments last to first; the VARIANTs stay owned by `arguments`.
  std::vector<VARIANTARG> reversed;
  for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) reversed.push_back(*it->get());
  DISPID propertyPut = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{};
  parameters.rgvarg = reversed.data();
  parameters.cArgs = static_cast<UINT>(reversed.size());
  if (kind == DISPATCH_PROPERTYPUT) {
    parameters.rgdispidNamedArgs = &propertyPut;
    parameters.cNamedArgs = 1;
  }
  Variant result;
  EXCEPINFO exception{};
  UINT badArgument = 0;
  const HRESULT status = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters,
                                         result.get(), &exception, &badArgument);
  if (status == DISP_E_EXCEPTION) RaiseInvokeException(exception);
  if (FAILED(status)) RaiseComFailure(status, object_.Get(), IID_IDispatch);
  return result;
}

}  // namespace vintrel
