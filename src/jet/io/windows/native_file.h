// What the engine's file layer works with on Windows: handles and GetLastError's codes, with
// <windows.h> kept out of the engine's headers.
#pragma once

#include <cstdint>

namespace vintrel::jet {

using NativeFile = void*;  // a HANDLE
inline NativeFile const kNoFile = reinterpret_cast<void*>(intptr_t{-1});  // INVALID_HANDLE_VALUE
using SystemError = unsigned long;                                       // a DWORD
// What a source lock remembers of the file it took.
struct FileState {
  uint32_t volume = 0;
  uint64_t index = 0;
  uint64_t size = 0;
  uint64_t written = 0;  // the last write time, in 100 ns units
};

}  // namespace vintrel::jet
