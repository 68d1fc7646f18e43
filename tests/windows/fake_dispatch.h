// A COM object with IDispatch and ISupportErrorInfo whose answers a test sets and whose calls
// it records, to check what the platform's wrappers send and how they take failures.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/windows/windows_api.h"

namespace vintrel::testing {

struct RecordedCall {
  std::wstring member;
  WORD kind = 0;
  bool namedPropertyPut = false;
  // The arguments in declared order, each as its type and its text or truth value.
  std::vector<std::wstring> arguments;
};

class FakeDispatch final : public IDispatch, public ISupportErrorInfo {
 public:
  // Invoke's status; with DISP_E_EXCEPTION, `fillException` fills in the EXCEPINFO.
  HRESULT status = S_OK;
  std::function<void(EXCEPINFO&)> fillException;
  // When not empty, a failing Invoke leaves an error object with this description.
  std::wstring errorObjectDescription;
  // Invoke's result; FakeDispatch frees it.
  VARIANT result{};
  std::vector<RecordedCall> calls;

  FakeDispatch() = default;
  ~FakeDispatch() { ::VariantClear(&result); }
  FakeDispatch(const FakeDispatch&) = delete;
  FakeDispatch& operator=(const FakeDispatch&) = delete;

  // References held by others than the test that owns the object.
  ULONG references() const { return references_ - 1; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override;
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID id) override;

 private:
  ULONG references_ = 1;
  std::vector<std::wstring> members_;
};

}  // namespace vintrel::testing
