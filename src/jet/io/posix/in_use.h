// Whether another program has a database open, as the programs that use Jet files show it on
// Linux:
//   - a Jet client (a Windows program under Wine, a Windows client of a Samba share) holds
//     POSIX record locks on byte ranges of the database, some far past its end, and on the
//     lock file beside it, `<name>.ldb`, for as long as it has the database open; a lock file
//     that nobody locks is a left-over of a crash and means nothing;
//   - a program that writes Jet files without taking locks (Java ones) keeps the file open for
//     writing.
#pragma once

#include <fcntl.h>

#include <string>

namespace vintrel::jet {

// `fd` is open on `path`. True when a process other than this one holds a record lock
// (classic or open-file-description) on any byte of the file or of its lock file, or, among
// the processes whose /proc entries this user may read, holds the file open for writing.
bool InUseByAnotherProgram(int fd, const std::string& path);

// A record lock of `type` over every byte of a file, past its end included (length 0).
inline struct flock AllBytes(short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  return lock;
}

}  // namespace vintrel::jet
