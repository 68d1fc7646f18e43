// Paths are compared in their normal form: the engine and the file system both make them
// absolute from the current directory, but only the engine normalises them.
#include "platform/posix/source_holds.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <utility>
#include <vector>

#include "compaction/raised_error.h"
#include "jet/jet_error.h"
#include "text/utf.h"

namespace vintrel {
namespace {

bool SamePath(const std::string& a, const std::string& b) {
  return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

}  // namespace

void SourceHolds::Keep(std::unique_ptr<jet::SourceLock> lock) { locks_.push_back(std::move(lock)); }

void SourceHolds::RequireUnchangedBeforeDelete(const std::string& path) const {
  auto held = std::find_if(locks_.begin(), locks_.end(), [&](const auto& lock) { return SamePath(lock->path(), path); });
  if (held == locks_.end()) return;
  try {
    (*held)->RequireUnchanged("it was not deleted, and its compacted copy is kept beside it.");
  } catch (const jet::JetError& error) {
    throw RaisedError(FromUtf8(error.what()));
  }
}

void SourceHolds::Release(const std::string& path) {
  std::vector<std::unique_ptr<jet::SourceLock>> released;
  auto held = std::partition(locks_.begin(), locks_.end(), [&](const auto& lock) { return !SamePath(lock->path(), path); });
  std::move(held, locks_.end(), std::back_inserter(released));
  locks_.erase(held, locks_.end());
  if (released.empty()) return;
  try {
    closing_ = std::jthread([released = std::move(released)]() mutable { released.clear(); });
  } catch (const std::system_error&) {
    // No thread to be had: the locks, moved into the thread's function, are closed here as
    // it is discarded, which only takes longer.
  }
}

}  // namespace vintrel
