#include "jet/io/windows/windows_file.h"

#include <atomic>

#include "jet/jet_error.h"
#include "text/utf.h"

namespace vintrel::jet {

std::wstring WidePath(const std::string& path) {
  const std::u16string text = FromUtf8(path);
  return std::wstring(text.begin(), text.end());
}

void RaiseInUse(const std::string& path) { throw JetError("Could not use '" + path + "'; file already in use."); }

Descriptor OpenExisting(const std::string& path, DWORD share, uint64_t& size) {
  const std::wstring wide = WidePath(path);
  Descriptor file(::CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
  if (!file.valid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      throw JetError("Could not find file '" + path + "'.");
    }
    if (error == ERROR_SHARING_VIOLATION) RaiseInUse(path);
    // A directory cannot be opened as a file: the call is refused rather than given a handle.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      throw JetError("Could not open '" + path + "': not a regular file.");
    }
    RaisePathError("open", path, error);
  }
  LARGE_INTEGER length;
  if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &length)) {
    throw JetError("Could not open '" + path + "': not a regular file.");
  }
  size = static_cast<uint64_t>(length.QuadPart);
  return file;
}

Descriptor CreateUniqueFile(const std::string& prefix, DWORD share, DWORD attributes, const std::string& subject,
                            std::string& path) {
  static std::atomic<uint32_t> counter{0};
  for (;;) {
    char suffix[32];
    const uint64_t unique = (uint64_t{::GetCurrentProcessId()} << 32) ^ ::GetTickCount64() ^ (uint64_t{++counter} << 20);
    std::snprintf(suffix, sizeof suffix, "%012llx", static_cast<unsigned long long>(unique & 0xFFFFFFFFFFFFull));
    path = prefix + suffix;
    Descriptor file(::CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, CREATE_NEW,
                                  attributes, nullptr));
    if (file.valid()) return file;
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      path.clear();
      RaiseFileError("create", subject, error);
    }
  }
}

}  // namespace vintrel::jet
