#include "other_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace vintrel::testing {

OtherProcess::OtherProcess(const std::function<void()>& hold) {
  int ready[2], stop[2];
  if (::pipe(ready) != 0 || ::pipe(stop) != 0) std::abort();
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(ready[0]);
    ::close(stop[1]);
    hold();
    char byte = 1;
    if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
    while (::read(stop[0], &byte, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(stop[0]);
  stop_ = stop[1];
  char byte;
  if (::read(ready[0], &byte, 1) != 1) std::abort();
  ::close(ready[0]);
}

OtherProcess::~OtherProcess() {
  ::close(stop_);
  ::waitpid(pid_, nullptr, 0);
}

bool AnotherProcessCanLockForWriting(const char* path) {
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open(path, O_RDWR);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ::_exit(fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vintrel::testing
