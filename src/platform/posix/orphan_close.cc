// Two forks, so that the orphan is nobody's child to reap: the middle process ends at once and
// is reaped here, its child is left to init. Everything the new processes do is prepared
// before the fork; after it they call only _Fork, close_range, read and _exit.
#include "platform/posix/orphan_close.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace vintrel {
namespace {

void CloseRange(int first, unsigned last) {
  if (static_cast<unsigned>(first) <= last) ::syscall(SYS_close_range, static_cast<unsigned>(first), last, 0U);
}

// Runs in the orphan: closes every descriptor but `kept` (sorted) and `wait`, waits for the
// pipe's other end to close, closes the rest.
[[noreturn]] void BeOrphan(const std::vector<int>& kept, int wait) {
  int next = 0;
  for (int fd : kept) {
    CloseRange(next, fd - 1);
    next = fd + 1;
  }
  CloseRange(next, UINT_MAX);
  char byte;
  while (::read(wait, &byte, 1) < 0 && errno == EINTR) {
  }
  CloseRange(0, UINT_MAX);
  ::_exit(0);
}

}  // namespace

std::optional<OrphanCloser> OrphanCloser::Start(std::span<const int> descriptors) {
  int pipe_ends[2];
  if (::pipe2(pipe_ends, O_CLOEXEC) != 0) return std::nullopt;
  jet::Descriptor wait(pipe_ends[0]);
  jet::Descriptor go(pipe_ends[1]);
  std::vector<int> kept(descriptors.begin(), descriptors.end());
  kept.push_back(wait.get());
  std::sort(kept.begin(), kept.end());

  const pid_t middle = ::fork();
  if (middle < 0) return std::nullopt;
  if (middle == 0) {
    const pid_t orphan = ::_Fork();
    if (orphan != 0) ::_exit(orphan < 0 ? 1 : 0);
    BeOrphan(kept, wait.get());
  }
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return OrphanCloser(std::move(go));
}

}  // namespace vintrel
