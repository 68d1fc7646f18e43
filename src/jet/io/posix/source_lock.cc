// Two locks on one descriptor, for two kinds of other program: flock keeps out a second
// compaction by this engine, which takes the same flock; an open-file-description record lock
// keeps out Jet clients, whose locks are record locks (Wine turns LockFile into them, Samba
// does the same for its Windows clients). A record lock of this kind belongs to the open file,
// not to the process, so it stays as long as this descriptor does, and a read lock is enough:
// the write locks by which Jet clients claim a database then fail. It is taken before the
// check for other users, so a client that starts after the check is refused by it and one
// that started before is seen by the check.
#include "jet/io/source_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "jet/io/posix/in_use.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

[[noreturn]] void RaiseInUse(const std::string& path) {
  throw JetError("Could not use '" + path + "'; file already in use.");
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

void LockAllBytesForReading(int fd, const std::string& path) {
  struct flock lock = AllBytes(F_RDLCK);
  if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return;
  if (errno == EAGAIN || errno == EACCES) RaiseInUse(path);
  RaisePathError("lock", path, errno);
}

}  // namespace

SourceLock::SourceLock(const std::string& path) : path_(path) {
  uint64_t size;
  file_ = OpenRegularFile(path, size);
  if (::flock(file_.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) RaiseInUse(path);
    RaisePathError("lock", path, errno);
  }
  LockAllBytesForReading(file_.get(), path);
  if (InUseByAnotherProgram(file_.get(), path)) RaiseInUse(path);
  if (::fstat(file_.get(), &taken_) != 0) RaisePathError("read the state of", path, errno);
}

void SourceLock::RequireUnchanged(std::string_view consequence) const {
  struct stat now;
  const bool same = ::stat(path_.c_str(), &now) == 0 && now.st_dev == taken_.st_dev &&
                    now.st_ino == taken_.st_ino && now.st_size == taken_.st_size &&
                    SameTime(now.st_mtim, taken_.st_mtim) && SameTime(now.st_ctim, taken_.st_ctim);
  if (!same) {
    throw JetError("The database '" + path_ + "' changed while it was compacted; " + std::string(consequence));
  }
}

}  // namespace vintrel::jet
