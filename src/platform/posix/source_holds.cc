// Paths are compared in their normal form: the engine and the file system both make them
// absolute from the current directory, but only the engine normalises them.
#include "platform/posix/source_holds.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "compaction/raised_error.h"
#include "jet/jet_error.h"
#include "platform/posix/orphan_close.h"
#include "text/utf.h"

namespace vintrel {
namespace {

bool SamePath(const std::string& a, const std::string& b) {
  return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

}  // namespace

void SourceHolds::Keep(std::unique_ptr<jet::SourceLock> lock, bool keep_damaged) {
  held_.push_back({std::move(lock), keep_damaged});
}

const SourceHolds::Held* SourceHolds::Find(const std::string& path) const {
  auto held = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return SamePath(h.lock->path(), path); });
  return held == held_.end() ? nullptr : &*held;
}

void SourceHolds::RequireUnchangedBeforeDelete(const std::string& path) const {
  const Held* held = Find(path);
  if (!held) return;
  try {
    held->lock->RequireUnchanged("it was not deleted, and its compacted copy is kept beside it.");
  } catch (const jet::JetError& error) {
    throw RaisedError(FromUtf8(error.what()));
  }
}

bool SourceHolds::KeepsDamaged(const std::string& path) const {
  const Held* held = Find(path);
  return held && held->keep_damaged;
}

void SourceHolds::Release(const std::string& path) {
  std::vector<Held> released;
  auto held = std::partition(held_.begin(), held_.end(), [&](const Held& h) { return !SamePath(h.lock->path(), path); });
  std::move(held, held_.end(), std::back_inserter(released));
  held_.erase(held, held_.end());
  if (released.empty()) return;
  std::vector<int> descriptors;
  for (const Held& h : released) descriptors.push_back(h.lock->descriptor());
  if (std::optional<OrphanCloser> orphan = OrphanCloser::Start(descriptors)) {
    released.clear();
    return;  // the orphan closes its copies, the last, once `orphan` is gone
  }
  try {
    closing_ = std::jthread([released = std::move(released)]() mutable { released.clear(); });
  } catch (const std::system_error&) {
    // No thread to be had: the locks, moved into the thread's function, are closed here as
    // it is discarded, which only takes longer.
  }
}

}  // namespace vintrel
