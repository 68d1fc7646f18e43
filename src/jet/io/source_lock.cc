#include "jet/io/source_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "jet/jet_error.h"

namespace vintrel::jet {

SourceLock::SourceLock(const std::string& path) : file_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (!file_.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) throw JetError("Could not find file '" + path + "'.");
    RaisePathError("open", path, errno);
  }
  if (::flock(file_.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) throw JetError("Could not use '" + path + "'; file already in use.");
    RaisePathError("lock", path, errno);
  }
}

}  // namespace vintrel::jet
