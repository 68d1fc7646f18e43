// flock rather than fcntl locks: an fcntl lock belongs to the process, so a second pass in the
// same process would get it again, and an exclusive one needs a descriptor open for writing,
// which a directory cannot have. The directory is opened by the path getcwd gives, so messages
// name it in full.
#include "platform/posix/posix_directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "compaction/raised_error.h"
#include "platform/posix/system_error.h"
#include "text/utf.h"

namespace vintrel {
namespace {

std::string CurrentDirectory() {
  char directory[PATH_MAX];
  if (::getcwd(directory, sizeof directory) == nullptr) RaiseWindowsFileError(".", errno);
  return directory;
}

}  // namespace

PosixDirectoryLock::PosixDirectoryLock() {
  const std::string directory = CurrentDirectory();
  fd_ = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) RaiseWindowsFileError(directory, errno);
  int locked;
  do {
    locked = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const int error = errno;
    ::close(fd_);
    if (error == EWOULDBLOCK) throw RaisedError(AnotherCompactionRunning(FromUtf8(directory)));
    RaiseWindowsFileError(directory, error);
  }
}

PosixDirectoryLock::~PosixDirectoryLock() { ::close(fd_); }

}  // namespace vintrel
