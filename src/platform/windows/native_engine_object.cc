// The Data Sources are made full paths against the current directory, so the engine's
// messages name files in full. The source is held (jet/io/source_lock.h)
// until the call returns; the pass then deletes it through its file system, as it does after
// the platform's engine.
#include "platform/windows/native_engine_object.h"

#include <cwchar>
#include <exception>
#include <new>
#include <string>

#include "compaction/raised_error.h"
#include "jet/compact/compact_database.h"
#include "jet/io/file_io.h"
#include "jet/io/source_lock.h"
#include "platform/common/compaction_request.h"
#include "platform/windows/com_error.h"
#include "platform/windows/wide_text.h"
#include "text/utf.h"

namespace vintrel {
namespace {

constexpr DISPID kCompactDatabase = 1;

void Compact(const std::u16string& source, const std::u16string& destination) {
  const CompactionRequest request = ReadCompactionRequest(source, destination);
  const std::string source_path = jet::FullPath(ToUtf8(request.source));
  const std::string destination_path = jet::FullPath(ToUtf8(request.destination));
  const jet::SourceLock lock(source_path);
  jet::CompactDatabase(lock, destination_path);
}

// The text of an argument that is a string, by value or by reference.
bool StringArgument(const VARIANTARG& argument, std::u16string& text) {
  const BSTR* value = argument.vt == VT_BSTR                ? &argument.bstrVal
                      : argument.vt == (VT_BSTR | VT_BYREF) ? argument.pbstrVal
                                                            : nullptr;
  if (value == nullptr) return false;
  text = *value == nullptr ? std::u16string() : FromWide(std::wstring_view(*value, ::SysStringLen(*value)));
  return true;
}

HRESULT Raise(EXCEPINFO* exception, const std::u16string& description) {
  if (exception != nullptr) {
    *exception = EXCEPINFO{};
    exception->scode = E_FAIL;
    exception->bstrSource = ::SysAllocString(L"Vintrel.JetEngine");
    const std::wstring text = ToWide(description);
    exception->bstrDescription = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  return DISP_E_EXCEPTION;
}

class NativeEngineObject final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (id != IID_IUnknown && id != IID_IDispatch) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // No type information: the one member is found by its name.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count == 0) return S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (::_wcsicmp(names[0], L"CompactDatabase") != 0) return DISP_E_UNKNOWNNAME;
    ids[0] = kCompactDatabase;
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* parameters, VARIANT* result,
                                   EXCEPINFO* exception, UINT* badArgument) override {
    if (id != kCompactDatabase || (kind & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
    if (parameters == nullptr || parameters->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (parameters->cArgs != 2) return DISP_E_BADPARAMCOUNT;
    // Arguments come last to first.
    std::u16string source, destination;
    for (UINT i = 0; i < 2; ++i) {
      if (!StringArgument(parameters->rgvarg[1 - i], i == 0 ? source : destination)) {
        if (badArgument != nullptr) *badArgument = 1 - i;
        return DISP_E_TYPEMISMATCH;
      }
    }
    if (result != nullptr) ::VariantInit(result);
    try {
      Compact(source, destination);
      return S_OK;
    } catch (const RaisedError& failure) {
      return Raise(exception, failure.description());
    } catch (const std::bad_alloc&) {
      return Raise(exception, StandardText(E_OUTOFMEMORY));
    } catch (const std::exception& failure) {
      // The engine's own failures (JetError), in UTF-8.
      return Raise(exception, FromUtf8(failure.what()));
    }
  }

 private:
  ULONG references_ = 1;
};

}  // namespace

Microsoft::WRL::ComPtr<IDispatch> CreateNativeEngineObject() {
  Microsoft::WRL::ComPtr<IDispatch> object;
  object.Attach(new NativeEngineObject);
  return object;
}

}  // namespace vintrel
