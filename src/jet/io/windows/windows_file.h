// What the Windows file layer's parts share: wide paths, opening an existing file with a given
// sharing, and creating a file under a name not yet taken.
#pragma once

#include <windows.h>

#include <string>

#include "jet/io/file_io.h"

namespace vintrel::jet {

// The engine's UTF-8 path as Windows takes it.
std::wstring WidePath(const std::string& path);

// Raises "Could not use '<path>'; file already in use."
[[noreturn]] void RaiseInUse(const std::string& path);

// Opens the regular file `path` for reading, admitting other handles as `share` allows, and
// sets `size`. Raises as OpenRegularFile does, and RaiseInUse when an open handle's access or
// sharing excludes this one.
Descriptor OpenExisting(const std::string& path, DWORD share, uint64_t& size);

// Creates a file for reading and writing named `prefix` and a suffix of hexadecimal digits
// that no file has yet, and sets `path` to its name; `attributes` are CreateFileW's flags and
// attributes. Raises "Could not create <subject>: <reason>."
Descriptor CreateUniqueFile(const std::string& prefix, DWORD share, DWORD attributes, const std::string& subject,
                            std::string& path);

}  // namespace vintrel::jet
