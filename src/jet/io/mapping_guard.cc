// The guarded ranges live in a fixed table of lock-free atomics, the only state a signal
// handler may safely read. The handler is installed once, when the first guard is made, and
// stays: with no guard registered it only passes the signal on. mmap is a plain system call,
// safe in a handler; MAP_FIXED replaces the lost page within the mapping, which munmap later
// releases with the rest.
#include "jet/io/mapping_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

struct GuardedRange {
  std::atomic<bool> taken{false};
  std::atomic<uintptr_t> begin{0};
  std::atomic<uintptr_t> end{0};
  std::atomic<bool> cut_short{false};
};

static_assert(std::atomic<uintptr_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

constexpr size_t kMaxGuards = 32;
std::array<GuardedRange, kMaxGuards> guarded;
uintptr_t page_size = 0;
struct sigaction previous_handler;

void PassOn(int signal, siginfo_t* info, void* context) {
  if ((previous_handler.sa_flags & SA_SIGINFO) != 0) {
    previous_handler.sa_sigaction(signal, info, context);
  } else if (previous_handler.sa_handler == SIG_DFL) {
    // Returning re-runs the faulting access, which then ends the process as it would have.
    ::signal(signal, SIG_DFL);
  } else if (previous_handler.sa_handler != SIG_IGN) {
    previous_handler.sa_handler(signal);
  }
}

void HandleBusError(int signal, siginfo_t* info, void* context) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
  for (GuardedRange& range : guarded) {
    if (address < range.begin.load() || address >= range.end.load()) continue;
    void* page = reinterpret_cast<void*>(address & ~(page_size - 1));
    if (::mmap(page, page_size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED) break;
    range.cut_short.store(true);
    return;
  }
  PassOn(signal, info, context);
}

void InstallHandler() {
  page_size = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  struct sigaction action = {};
  action.sa_sigaction = HandleBusError;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &previous_handler);
}

}  // namespace

MappingGuard::MappingGuard(const void* base, size_t size) {
  static std::once_flag installed;
  std::call_once(installed, InstallHandler);
  for (slot_ = 0; slot_ < kMaxGuards; ++slot_) {
    bool free = false;
    if (guarded[slot_].taken.compare_exchange_strong(free, true)) break;
  }
  if (slot_ == kMaxGuards) throw JetError("Could not guard a file mapping: too many files are open.");
  GuardedRange& range = guarded[slot_];
  range.cut_short.store(false);
  range.end.store(0);
  range.begin.store(reinterpret_cast<uintptr_t>(base));
  range.end.store(reinterpret_cast<uintptr_t>(base) + size);
}

MappingGuard::~MappingGuard() {
  GuardedRange& range = guarded[slot_];
  range.end.store(0);
  range.begin.store(0);
  range.taken.store(false);
}

bool MappingGuard::cut_short() const { return guarded[slot_].cut_short.load(); }

}  // namespace vintrel::jet
