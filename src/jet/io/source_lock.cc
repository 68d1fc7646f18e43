#include "jet/io/source_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "jet/jet_error.h"

namespace vintrel::jet {

// O_NONBLOCK: opening a FIFO or a device must not wait for a writer; only a regular file
// goes on to be read.
SourceLock::SourceLock(const std::string& path)
    : file_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
  if (!file_.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) throw JetError("Could not find file '" + path + "'.");
    RaisePathError("open", path, errno);
  }
  struct stat info;
  if (::fstat(file_.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw JetError("Could not open '" + path + "': not a regular file.");
  }
  if (::flock(file_.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) throw JetError("Could not use '" + path + "'; file already in use.");
    RaisePathError("lock", path, errno);
  }
}

}  // namespace vintrel::jet
