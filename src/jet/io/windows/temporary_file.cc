// The copy is a file named after the destination and a suffix, created in the destination's
// folder; every handle to it admits renaming, so that it can be given its name
// while the copy is still open for reading back. A name given with MOVEFILE_WRITE_THROUGH is
// on disk when the call returns.
#include "jet/io/temporary_file.h"

#include <windows.h>

#include <system_error>

#include "jet/io/windows/windows_file.h"
#include "jet/jet_error.h"

namespace vintrel::jet {

TemporaryFile::TemporaryFile(const std::string& destination) {
  file_ = CreateUniqueFile(destination + ".", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           FILE_ATTRIBUTE_NORMAL, "a file beside '" + destination + "'", path_);
}

TemporaryFile::~TemporaryFile() {
  if (flushing_.valid()) flushing_.wait();
  file_ = Descriptor();
  if (!path_.empty()) ::DeleteFileW(WidePath(path_).c_str());
}

Descriptor TemporaryFile::WriterDescriptor() const {
  HANDLE writer = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), file_.get(), ::GetCurrentProcess(), &writer, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
    RaisePathError("write", path_, ::GetLastError());
  }
  return Descriptor(writer);
}

void TemporaryFile::StartFlush(const std::string& destination) {
  try {
    flushing_ = std::async(std::launch::async, [file = file_.get(), destination] {
      if (!::FlushFileBuffers(file)) RaisePathError("flush", destination, ::GetLastError());
    });
  } catch (const std::system_error&) {
    // No thread to be had: Publish flushes the file itself, which only takes longer.
  }
}

void TemporaryFile::Publish(const std::string& destination) {
  if (flushing_.valid()) {
    flushing_.get();
  } else if (!::FlushFileBuffers(file_.get())) {
    RaisePathError("flush", destination, ::GetLastError());
  }
  if (!::MoveFileExW(WidePath(path_).c_str(), WidePath(destination).c_str(), MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) throw JetError("Database already exists.");
    RaisePathError("name", destination, error);
  }
  path_.clear();
}

}  // namespace vintrel::jet
