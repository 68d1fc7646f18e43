// Win32's errors are raised as the Scripting Runtime's own codes for them, so that the texts
// are the ones its FileSystemObject gives.
#include "platform/windows/win32_file_system.h"

#include "platform/windows/windows_api.h"

#include "platform/windows/com_error.h"
#include "platform/windows/wide_text.h"

namespace vintrel {
namespace {

constexpr WORD kFileNotFound = 53;
constexpr WORD kFileAlreadyExists = 58;
constexpr WORD kPermissionDenied = 70;
constexpr WORD kPathNotFound = 76;

[[noreturn]] void RaiseScriptingError(WORD code) {
  RaiseComFailure(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, code));
}

[[noreturn]] void RaiseFileError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      RaiseScriptingError(kFileNotFound);
    case ERROR_PATH_NOT_FOUND:
      RaiseScriptingError(kPathNotFound);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      RaiseScriptingError(kPermissionDenied);
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      RaiseScriptingError(kFileAlreadyExists);
    default:
      RaiseComFailure(HRESULT_FROM_WIN32(error));
  }
}

// The attributes of the file (not directory) at `path`; raises "File not found" for none.
DWORD FileAttributes(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    RaiseFileError(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) RaiseScriptingError(kFileNotFound);
  return attributes;
}

// Without force a read-only file is refused; with it, made writable first.
void DeleteOneFile(const std::wstring& path, bool force) {
  const DWORD attributes = FileAttributes(path);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    if (!force) RaiseScriptingError(kPermissionDenied);
    if (!::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) RaiseFileError(::GetLastError());
  }
  if (!::DeleteFileW(path.c_str())) RaiseFileError(::GetLastError());
}

}  // namespace

std::wstring FullFilePath(const std::u16string& path) {
  const std::wstring wide = ToWide(path);
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length > full.size()) {
    full.resize(length);
    length = ::GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  }
  if (length == 0) RaiseLastError();
  full.resize(length);
  return full;
}

void Win32File::Delete(bool force) { DeleteOneFile(path_, force); }

std::wstring Win32File::SiblingPath(const std::u16string& name) const {
  return path_.substr(0, path_.find_last_of(L"\\/") + 1) + ToWide(name);
}

// Within the file's own folder; a name that is taken is refused, whatever is there.
void Win32File::SetName(const std::u16string& name) {
  FileAttributes(path_);
  const std::wstring renamed = SiblingPath(name);
  if (!::MoveFileExW(path_.c_str(), renamed.c_str(), 0)) RaiseFileError(::GetLastError());
  path_ = renamed;
}

bool Win32FileSystem::FileExists(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void Win32FileSystem::DeleteFile(const std::u16string& path, bool force) { DeleteOneFile(FullFilePath(path), force); }

std::shared_ptr<File> Win32FileSystem::GetFile(const std::u16string& path) {
  std::wstring full = FullFilePath(path);
  FileAttributes(full);
  return std::make_shared<Win32File>(std::move(full));
}

}  // namespace vintrel
