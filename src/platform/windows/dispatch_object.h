// Late-bound calls on a COM object through IDispatch, with owned arguments and results. The
// Scripting Runtime's and Jet's interfaces are dual, so IDispatch reaches every operation we use
// without vtable declarations of our own (mingw-w64 ships none, and a slot out of place would
// call the wrong method), and Invoke hands back the component's own error description.
#pragma once

#include "platform/windows/windows_api.h"

#include <string>
#include <string_view>
#include <vector>

#include <wrl/client.h>

namespace vintrel {

// Owns one VARIANT; cleared exactly once.
class Variant {
 public:
  Variant() { ::VariantInit(&value_); }
  ~Variant() { ::VariantClear(&value_); }
  static Variant Boolean(bool value);
  // Raises when the string cannot be allocated.
  static Variant String(std::u16string_view text);

  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant(Variant&& other) noexcept;
  Variant& operator=(Variant&&) = delete;

  // Raise "Type mismatch" when the value is not of that kind.
  bool AsBoolean() const;
  Microsoft::WRL::ComPtr<IDispatch> AsObject() const;

  VARIANT* get() { return &value_; }

 private:
  VARIANT value_;
};

class DispatchObject {
 public:
  explicit DispatchObject(Microsoft::WRL::ComPtr<IDispatch> object) : object_(std::move(object)) {}

  // Calls a method or reads a property; arguments in their declared order.
  Variant Call(const wchar_t* member, std::vector<Variant> arguments);
  // Assigns a property.
  void Put(const wchar_t* member, Variant value);

 private:
  DISPID MemberId(const wchar_t* member);
  Variant Invoke(const wchar_t* member, WORD kind, std::vector<Variant>& arguments);

  Microsoft::WRL::ComPtr<IDispatch> object_;
};

}  // namespace vintrel
