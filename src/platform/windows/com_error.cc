// The thread's error object is read only when the failing object says, through
// ISupportErrorInfo, that it sets one for that interface; otherwise the error object may be
// left over from an earlier call. Every string of an EXCEPINFO is adopted, used or not, so that
// none leaks.
#include "platform/windows/com_error.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <string_view>

#include <wrl/client.h>

#include "compaction/raised_error.h"
#include "platform/windows/bstr.h"
#include "platform/windows/wide_text.h"

namespace vintrel {
namespace {

struct ControlText {
  WORD code;
  std::u16string_view text;
};

// The texts Windows gives the Scripting Runtime's codes; it keeps them in the runtime itself,
// not in the system's message table, so FormatMessage does not know them.
constexpr ControlText kControlTexts[] = {
    {5, u"Invalid procedure call or argument"},
    {6, u"Overflow"},
    {7, u"Out of memory"},
    {9, u"Subscript out of range"},
    {11, u"Division by zero"},
    {13, u"Type mismatch"},
    {52, u"Bad file name or number"},
    {53, u"File not found"},
    {54, u"Bad file mode"},
    {55, u"File already open"},
    {57, u"Device I/O error"},
    {58, u"File already exists"},
    {61, u"Disk full"},
    {62, u"Input past end of file"},
    {63, u"Bad record number"},
    {67, u"Too many files"},
    {68, u"Device unavailable"},
    {70, u"Permission denied"},
    {71, u"Disk not ready"},
    {74, u"Can't rename with different drive"},
    {75, u"Path/File access error"},
    {76, u"Path not found"},
    {424, u"Object required"},
    {429, u"ActiveX component can't create object"},
    {438, u"Object doesn't support this property or method"},
    {445, u"Object doesn't support this action"},
};

std::u16string ControlTextOf(HRESULT status) {
  if (HRESULT_FACILITY(status) != FACILITY_CONTROL) return {};
  for (const ControlText& entry : kControlTexts) {
    if (entry.code == HRESULT_CODE(status)) return std::u16string(entry.text);
  }
  return {};
}

struct LocalFreeDeleter {
  void operator()(wchar_t* buffer) const { ::LocalFree(buffer); }
};

// The system's message without the line break and blanks it ends with; empty when the system
// has none.
std::u16string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreeDeleter> owned(buffer);
  if (length == 0 || buffer == nullptr) return {};
  std::wstring_view message(buffer, length);
  const size_t end = message.find_last_not_of(L"\r\n \t");
  return end == std::wstring_view::npos ? std::u16string() : FromWide(message.substr(0, end + 1));
}

std::u16string HexadecimalText(HRESULT status) {
  char text[32];
  std::snprintf(text, sizeof text, "Unexpected error 0x%08lX", static_cast<unsigned long>(status));
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

// The description a component left in the thread's error object for this failure, if any.
std::u16string ErrorObjectDescription(IUnknown* object, REFIID interfaceId) {
  using Microsoft::WRL::ComPtr;
  if (object == nullptr) return {};
  ComPtr<ISupportErrorInfo> support;
  if (FAILED(object->QueryInterface(IID_PPV_ARGS(&support)))) return {};
  if (support->InterfaceSupportsErrorInfo(interfaceId) != S_OK) return {};
  ComPtr<IErrorInfo> info;
  if (::GetErrorInfo(0, &info) != S_OK || !info) return {};
  BSTR description = nullptr;
  if (FAILED(info->GetDescription(&description))) return {};
  return Bstr::Adopt(description).text();
}

}  // namespace

std::u16string StandardText(HRESULT status) {
  std::u16string text = ControlTextOf(status);
  if (text.empty()) text = SystemMessage(static_cast<DWORD>(status));
  if (text.empty() && HRESULT_FACILITY(status) == FACILITY_WIN32) {
    text = SystemMessage(HRESULT_CODE(status));
  }
  return text.empty() ? HexadecimalText(status) : text;
}

void RaiseComFailure(HRESULT status, IUnknown* object, REFIID interfaceId) {
  std::u16string description = ErrorObjectDescription(object, interfaceId);
  throw ComFailure(status, description.empty() ? StandardText(status) : std::move(description));
}

void RaiseLastError() {
  const DWORD error = ::GetLastError();
  RaiseComFailure(error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error));
}

void RaiseInvokeException(EXCEPINFO& info) {
  if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
  const Bstr source = Bstr::Adopt(std::exchange(info.bstrSource, nullptr));
  const Bstr helpFile = Bstr::Adopt(std::exchange(info.bstrHelpFile, nullptr));
  std::u16string description = Bstr::Adopt(std::exchange(info.bstrDescription, nullptr)).text();
  // A component that fills in only wCode means one of its own error numbers.
  HRESULT status = info.scode;
  if (status == S_OK) {
    status = info.wCode != 0 ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode)
                             : DISP_E_EXCEPTION;
  }
  throw ComFailure(status, description.empty() ? StandardText(status) : std::move(description));
}

}  // namespace vintrel
