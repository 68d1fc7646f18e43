// Reads and writes at an offset are ReadFile and WriteFile given it in an OVERLAPPED on a
// handle opened for synchronous use, so they wait, and never share a file position.
#include "jet/io/file_io.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "jet/io/windows/windows_file.h"
#include "jet/jet_error.h"
#include "text/utf.h"

namespace vintrel::jet {
namespace {

[[noreturn]] void RaiseReason(const std::string& action, const std::string& subject, const std::string& reason) {
  throw JetError("Could not " + action + " " + subject + ": " + reason + ".");
}

struct LocalFreeDeleter {
  void operator()(wchar_t* buffer) const { ::LocalFree(buffer); }
};

// The system's text for `error`, without the full stop and line break it ends with.
std::string SystemText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreeDeleter> owned(buffer);
  std::u16string text(buffer, buffer + (buffer != nullptr ? length : 0));
  while (!text.empty() && (text.back() == u'.' || text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
    text.pop_back();
  }
  return text.empty() ? "error " + std::to_string(error) : ToUtf8(text);
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// One call moves at most this much, whatever is asked.
constexpr size_t kLargestTransfer = size_t{1} << 30;

}  // namespace

void RaiseFileError(const std::string& action, const std::string& subject, SystemError error) {
  RaiseReason(action, subject, SystemText(error));
}

void RaisePathError(const std::string& action, const std::string& path, SystemError error) {
  RaiseFileError(action, "'" + path + "'", error);
}

Descriptor::~Descriptor() {
  if (valid()) ::CloseHandle(fd_);
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) {
    if (valid()) ::CloseHandle(fd_);
    fd_ = other.Release();
  }
  return *this;
}

NativeFile Descriptor::Release() {
  const NativeFile fd = fd_;
  fd_ = kNoFile;
  return fd;
}

void Descriptor::Close(const std::string& subject) {
  if (!::CloseHandle(Release())) RaiseFileError("close", subject, ::GetLastError());
}

void ReadExactly(NativeFile fd, uint64_t offset, std::span<uint8_t> out, const std::string& subject) {
  if (ReadUpTo(fd, offset, out, subject) < out.size()) RaiseReason("read", subject, "the file ended early");
}

size_t ReadUpTo(NativeFile fd, uint64_t offset, std::span<uint8_t> out, const std::string& subject) {
  size_t done = 0;
  while (done < out.size()) {
    OVERLAPPED at = At(offset + done);
    DWORD read = 0;
    const DWORD part = static_cast<DWORD>(std::min(out.size() - done, kLargestTransfer));
    if (!::ReadFile(fd, out.data() + done, part, &read, &at)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      RaiseFileError("read", subject, error);
    }
    if (read == 0) break;
    done += read;
  }
  return done;
}

void WriteExactly(NativeFile fd, uint64_t offset, std::span<const uint8_t> bytes, const std::string& subject) {
  size_t done = 0;
  while (done < bytes.size()) {
    OVERLAPPED at = At(offset + done);
    DWORD written = 0;
    const DWORD part = static_cast<DWORD>(std::min(bytes.size() - done, kLargestTransfer));
    if (!::WriteFile(fd, bytes.data() + done, part, &written, &at)) RaiseFileError("write", subject, ::GetLastError());
    if (written == 0) RaiseFileError("write", subject, ERROR_DISK_FULL);
    done += written;
  }
}

void SetFileSize(NativeFile fd, uint64_t size, const std::string& subject) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!::SetFileInformationByHandle(fd, FileEndOfFileInfo, &end, sizeof end)) {
    RaiseFileError("size", subject, ::GetLastError());
  }
}

// Windows has no call that starts the writing to disk without waiting for it: the flush
// before the copy is named writes everything.
void StartWriteBack(NativeFile, uint64_t, uint64_t, const std::string&) {}

// GetFullPathNameW, since std::filesystem takes a narrow path in the ANSI code page here.
std::string FullPath(const std::string& path) {
  const std::wstring wide = WidePath(path);
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length > full.size()) {
    full.resize(length);
    length = ::GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  }
  if (length == 0) RaisePathError("find the full path of", path, ::GetLastError());
  full.resize(length);
  return ToUtf8(std::u16string(full.begin(), full.end()));
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) {
    // "C:b.mdb" is in the current directory of drive C.
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  }
  // The root keeps its separator: "\", "C:\".
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

bool NameTaken(const std::string& path) {
  return ::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Nobody else may open it, and the system deletes it when it is closed, also when the
// process is killed.
Descriptor CreateScratchFile(const std::string& directory) {
  std::string path;
  const std::string separator = directory.ends_with('\\') || directory.ends_with('/') ? "" : "\\";
  return CreateUniqueFile(directory + separator + ".vintrel-rows-", 0,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                          "a scratch file in '" + directory + "'", path);
}

// Others may read, write and rename meanwhile: the source is kept from writers by its
// SourceLock, and the copy is read back while it is still open for writing and then renamed.
Descriptor OpenRegularFile(const std::string& path, uint64_t& size) {
  return OpenExisting(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, size);
}

}  // namespace vintrel::jet
