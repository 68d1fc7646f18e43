#include "jet/io/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "jet/io/posix/sync_directory.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

[[noreturn]] void RaiseReason(const std::string& action, const std::string& subject, const char* reason) {
  throw JetError("Could not " + action + " " + subject + ": " + reason + ".");
}

// Repeats a positioned transfer until `size` bytes are done or it returns 0 (the end of
// the file, for reads); returns the bytes done.
template <typename Transfer>
size_t Repeat(size_t size, const std::string& action, const std::string& subject, Transfer transfer) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = transfer(done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) RaiseFileError(action, subject, errno);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

void RaiseFileError(const std::string& action, const std::string& subject, int error) {
  RaiseReason(action, subject, std::strerror(error));
}

void RaisePathError(const std::string& action, const std::string& path, int error) {
  RaiseFileError(action, "'" + path + "'", error);
}

Descriptor::~Descriptor() {
  if (fd_ >= 0) ::close(fd_);
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

int Descriptor::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void Descriptor::Close(const std::string& subject) {
  if (::close(Release()) != 0) RaiseFileError("close", subject, errno);
}

void ReadExactly(int fd, uint64_t offset, std::span<uint8_t> out, const std::string& subject) {
  if (ReadUpTo(fd, offset, out, subject) < out.size()) RaiseReason("read", subject, "the file ended early");
}

size_t ReadUpTo(int fd, uint64_t offset, std::span<uint8_t> out, const std::string& subject) {
  return Repeat(out.size(), "read", subject, [&](size_t done) {
    return ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
  });
}

void WriteExactly(int fd, uint64_t offset, std::span<const uint8_t> bytes, const std::string& subject) {
  const size_t done = Repeat(bytes.size(), "write", subject, [&](size_t done) {
    return ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
  });
  // pwrite returns 0 only for an empty write; a full disk is ENOSPC.
  if (done < bytes.size()) RaiseFileError("write", subject, ENOSPC);
}

std::string FullPath(const std::string& path) {
  return std::filesystem::absolute(path).lexically_normal().string();
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncDirectoryOf(const std::string& path) {
  Descriptor directory(::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!directory.valid()) RaisePathError("open the directory of", path, errno);
  if (::fsync(directory.get()) != 0) RaisePathError("flush the directory of", path, errno);
}

bool NameTaken(const std::string& path) {
  struct stat existing;
  return ::lstat(path.c_str(), &existing) == 0;
}

Descriptor CreateScratchFile(const std::string& directory) {
  std::string path = directory + "/.vintrel-rows-XXXXXX";
  Descriptor file(::mkostemp(path.data(), O_CLOEXEC));
  if (!file.valid()) RaiseFileError("create a scratch file in", "'" + directory + "'", errno);
  ::unlink(path.c_str());
  return file;
}

void SetFileSize(int fd, uint64_t size, const std::string& subject) {
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0) RaiseFileError("size", subject, errno);
}

void StartWriteBack(int fd, uint64_t offset, uint64_t length, const std::string& subject) {
  if (::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE) != 0) {
    RaiseFileError("flush", subject, errno);
  }
}

// O_NONBLOCK: opening a FIFO or a device must not wait for a writer; only a regular file
// goes on to be read.
Descriptor OpenRegularFile(const std::string& path, uint64_t& size) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) throw JetError("Could not find file '" + path + "'.");
    RaisePathError("open", path, errno);
  }
  struct stat state;
  if (::fstat(file.get(), &state) != 0 || !S_ISREG(state.st_mode)) {
    throw JetError("Could not open '" + path + "': not a regular file.");
  }
  size = static_cast<uint64_t>(state.st_size);
  return file;
}

}  // namespace vintrel::jet
