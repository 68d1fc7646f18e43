// Text crosses to wchar_t through wide_text.h, since a BSTR's units are wchar_t while the
// program keeps UTF-16 in char16_t. Lengths are always passed explicitly, so a string that holds
// U+0000 stays whole, and a null BSTR reads as the empty string, as COM defines it.
#include "platform/windows/bstr.h"

#include <utility>

#include "platform/windows/com_error.h"
#include "platform/windows/wide_text.h"

namespace vintrel {

Bstr::Bstr(std::u16string_view text) {
  const std::wstring wide = ToWide(text);
  value_ = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (value_ == nullptr) RaiseComFailure(E_OUTOFMEMORY);
}

Bstr Bstr::Adopt(BSTR value) {
  Bstr owned;
  owned.value_ = value;
  return owned;
}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
  if (this != &other) {
    ::SysFreeString(value_);
    value_ = other.Release();
  }
  return *this;
}

BSTR Bstr::Release() { return std::exchange(value_, nullptr); }

std::u16string Bstr::text() const {
  if (value_ == nullptr) return {};
  return FromWide(std::wstring_view(value_, ::SysStringLen(value_)));
}

}  // namespace vintrel
