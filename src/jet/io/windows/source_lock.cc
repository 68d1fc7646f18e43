// The source is opened with sharing that admits other readers only, as Jet opens a database
// it compacts: a program that has it open for writing (a Jet client opens it so) makes the
// open fail with a sharing violation, and while the handle is open no program can open it
// for writing, rename or delete it. A Jet client has the lock file `<name>.ldb` open as long
// as it has the database open, so a lock file that cannot be opened without sharing is in use
// too; one that can is a left-over of a crash and means nothing.
#include "jet/io/source_lock.h"

#include <windows.h>

#include "jet/io/windows/windows_file.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

bool LockFileInUse(const std::string& path) {
  const size_t name = path.find_last_of("/\\") + 1;  // 0 when there is no separator
  const size_t dot = path.rfind('.');
  const std::string lock_path = (dot != std::string::npos && dot >= name ? path.substr(0, dot) : path) + ".ldb";
  const HANDLE lock_file = ::CreateFileW(WidePath(lock_path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (lock_file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(lock_file);
    return false;
  }
  return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// The identity, size and last write time of the file open at `file`; false when they cannot
// be read.
bool StateOf(HANDLE file, FileState& state) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file, &info)) return false;
  state.volume = info.dwVolumeSerialNumber;
  state.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  state.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  state.written = (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
  return true;
}

}  // namespace

SourceLock::SourceLock(const std::string& path) : path_(path) {
  uint64_t size;
  file_ = OpenExisting(path, FILE_SHARE_READ, size);
  if (LockFileInUse(path)) RaiseInUse(path);
  if (!StateOf(file_.get(), taken_)) RaisePathError("read the state of", path, ::GetLastError());
}

// The path is opened for its attributes alone, which no sharing refuses.
void SourceLock::RequireUnchanged(std::string_view consequence) const {
  const Descriptor now_file(::CreateFileW(WidePath(path_).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  FileState now;
  const bool same = now_file.valid() && StateOf(now_file.get(), now) && now.volume == taken_.volume &&
                    now.index == taken_.index && now.size == taken_.size && now.written == taken_.written;
  if (!same) {
    throw JetError("The database '" + path_ + "' changed while it was compacted; " + std::string(consequence));
  }
}

}  // namespace vintrel::jet
