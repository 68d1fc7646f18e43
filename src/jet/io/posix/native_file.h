// What the engine's file layer works with on POSIX systems: descriptors and errno values.
#pragma once

#include <sys/stat.h>

namespace vintrel::jet {

using NativeFile = int;
inline constexpr NativeFile kNoFile = -1;
using SystemError = int;
// What a source lock remembers of the file it took.
using FileState = struct stat;

}  // namespace vintrel::jet
