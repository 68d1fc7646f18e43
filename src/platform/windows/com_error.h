// Failed COM calls raised as RaisedError (ComFailure). The description is the component's own where it
// gives one, else the standard text for the status code, else a text carrying the code, so a
// failure that had a code never has an empty description.
#pragma once

#include "platform/windows/windows_api.h"

#include <string>

#include "compaction/raised_error.h"

namespace vintrel {

// A failed COM call as raised here: the description, and the status the call failed with,
// for callers that serve some failures themselves (a member not implemented).
class ComFailure : public RaisedError {
 public:
  ComFailure(HRESULT status, std::u16string description) : RaisedError(std::move(description)), status_(status) {}
  HRESULT status() const { return status_; }

 private:
  HRESULT status_;
};

// The standard text for a status code: the Scripting Runtime's texts for its own codes
// (facility FACILITY_CONTROL), the system's message for the others, or "Unexpected error 0x…".
std::u16string StandardText(HRESULT status);

// Raises the failure `status` of a call on `object` through `interfaceId`; takes the
// component's description from its error object when it supports one for that interface.
[[noreturn]] void RaiseComFailure(HRESULT status, IUnknown* object = nullptr,
                                  REFIID interfaceId = IID_NULL);

// Raises the failure of a Win32 call that reported it through GetLastError.
[[noreturn]] void RaiseLastError();

// Raises what IDispatch::Invoke reported as DISP_E_EXCEPTION, with the component's status
// (scode); frees the strings of `info`.
[[noreturn]] void RaiseInvokeException(EXCEPINFO& info);

}  // namespace vintrel
