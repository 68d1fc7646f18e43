// Another program, as the tests need one: a child process that does something to a file (takes
// a lock, opens it) and keeps it that way until the object is destroyed.
#pragma once

#include <sys/types.h>

#include <functional>

namespace vintrel::testing {

class OtherProcess {
 public:
  // Returns once `hold` has run in the child; the child then waits to be stopped.
  explicit OtherProcess(const std::function<void()>& hold);
  ~OtherProcess();
  OtherProcess(const OtherProcess&) = delete;
  OtherProcess& operator=(const OtherProcess&) = delete;

 private:
  pid_t pid_;
  int stop_;  // closed to let the child end
};

// Whether a child process could take a write lock on `path` (F_SETLK, the lock a Jet client
// under Wine takes to claim a database).
bool AnotherProcessCanLockForWriting(const char* path);

}  // namespace vintrel::testing
