// The directory is opened only long enough to read its volume serial number and file index.
// The open uses backup semantics, without which a directory cannot be opened, and shares
// everything, so the folder stays usable. The mutex is never owned or waited on: the lock is
// the fact that it exists.
#include "platform/windows/windows_directory_lock.h"

#include <cwchar>
#include <string>

#include "compaction/raised_error.h"
#include "platform/windows/com_error.h"
#include "platform/windows/wide_text.h"

namespace vintrel {
namespace {

std::wstring CurrentDirectory() {
  std::wstring directory(MAX_PATH, L'\0');
  DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data());
  if (length > directory.size()) {
    directory.resize(length);
    length = ::GetCurrentDirectoryW(length, directory.data());
  }
  if (length == 0) RaiseLastError();
  directory.resize(length);
  return directory;
}

// "Global\" so that passes in other sessions (another user's, a remote desktop) meet it too.
std::wstring MutexName(const std::wstring& directory) {
  const HANDLE handle = ::CreateFileW(directory.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseLastError();
  BY_HANDLE_FILE_INFORMATION info;
  const BOOL known = ::GetFileInformationByHandle(handle, &info);
  const DWORD error = ::GetLastError();
  ::CloseHandle(handle);
  if (!known) {
    ::SetLastError(error);
    RaiseLastError();
  }
  wchar_t name[64];
  std::swprintf(name, 64, L"Global\\Vintrel compaction %08lX-%08lX%08lX", info.dwVolumeSerialNumber,
                info.nFileIndexHigh, info.nFileIndexLow);
  return name;
}

}  // namespace

WindowsDirectoryLock::WindowsDirectoryLock() {
  const std::wstring directory = CurrentDirectory();
  mutex_ = ::CreateMutexW(nullptr, FALSE, MutexName(directory).c_str());
  const DWORD error = ::GetLastError();
  // A mutex another user created may be closed to us; it is held all the same.
  if (error == ERROR_ALREADY_EXISTS || (mutex_ == nullptr && error == ERROR_ACCESS_DENIED)) {
    if (mutex_ != nullptr) ::CloseHandle(mutex_);
    throw RaisedError(AnotherCompactionRunning(FromWide(directory)));
  }
  if (mutex_ == nullptr) RaiseLastError();
}

WindowsDirectoryLock::~WindowsDirectoryLock() { ::CloseHandle(mutex_); }

}  // namespace vintrel
