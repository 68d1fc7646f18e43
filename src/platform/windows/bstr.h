// Owns one BSTR: allocated from UTF-16 text or adopted from a COM call, freed exactly once.
#pragma once

#include "platform/windows/windows_api.h"

#include <string>
#include <string_view>

namespace vintrel {

class Bstr {
 public:
  Bstr() = default;
  // Raises when the string cannot be allocated.
  explicit Bstr(std::u16string_view text);
  // Takes ownership of a string a COM call returned; null is the empty string.
  static Bstr Adopt(BSTR value);
  ~Bstr() { ::SysFreeString(value_); }

  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : value_(other.Release()) {}
  Bstr& operator=(Bstr&& other) noexcept;

  BSTR get() const { return value_; }
  // Gives up ownership, e.g. to a VARIANT that frees it.
  BSTR Release();
  std::u16string text() const;

 private:
  BSTR value_ = nullptr;
};

}  // namespace vintrel
