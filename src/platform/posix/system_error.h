// Failures of POSIX calls raised with the descriptions Windows users see for the same causes.
#pragma once

#include <string_view>

namespace vintrel {

// What a failed file operation on `path` raises for `error` (an errno value).
[[noreturn]] void RaiseWindowsFileError(std::string_view path, int error);

}  // namespace vintrel
