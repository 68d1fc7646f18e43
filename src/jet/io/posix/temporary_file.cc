#include "jet/io/temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "jet/io/posix/sync_directory.h"
#include "jet/jet_error.h"

namespace vintrel::jet {

TemporaryFile::TemporaryFile(const std::string& destination) {
  file_ = Descriptor(::open(DirectoryOf(destination).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
  // An unnamed file is published through its /proc/self/fd link.
  if (file_.valid() && ::access("/proc/self/fd", X_OK) == 0) {
    path_ = "/proc/self/fd/" + std::to_string(file_.get());
    unnamed_ = true;
    return;
  }
  path_ = destination + ".XXXXXX";
  file_ = Descriptor(::mkostemp(path_.data(), O_CLOEXEC));
  if (!file_.valid()) {
    const int error = errno;
    path_.clear();
    RaisePathError("create a file beside", destination, error);
  }
  // mkostemp makes the file private; the database gets the mode a new file would.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(file_.get(), 0666 & ~mask) != 0) {
    const int error = errno;
    ::unlink(path_.c_str());  // a constructor that raises runs no destructor
    RaisePathError("create a file beside", destination, error);
  }
}

TemporaryFile::~TemporaryFile() {
  if (!unnamed_ && !path_.empty()) ::unlink(path_.c_str());
}

Descriptor TemporaryFile::WriterDescriptor() const {
  Descriptor writer(::dup(file_.get()));
  if (!writer.valid()) RaisePathError("write", path_, errno);
  return writer;
}

void TemporaryFile::StartFlush(const std::string& destination) {
  try {
    flushing_ = std::async(std::launch::async, [fd = file_.get(), destination] {
      if (::fsync(fd) != 0) RaisePathError("flush", destination, errno);
    });
  } catch (const std::system_error&) {
    // No thread to be had: Publish flushes the file itself, which only takes longer.
  }
}

void TemporaryFile::Publish(const std::string& destination) {
  if (flushing_.valid()) {
    flushing_.get();
  } else if (::fsync(file_.get()) != 0) {
    RaisePathError("flush", destination, errno);
  }
  const int linked = unnamed_ ? ::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, destination.c_str(), AT_SYMLINK_FOLLOW)
                              : ::link(path_.c_str(), destination.c_str());
  if (linked != 0) {
    if (errno == EEXIST) throw JetError("Database already exists.");
    RaisePathError("name", destination, errno);
  }
  if (!unnamed_) ::unlink(path_.c_str());
  path_.clear();
  unnamed_ = false;
  SyncDirectoryOf(destination);
}

}  // namespace vintrel::jet
