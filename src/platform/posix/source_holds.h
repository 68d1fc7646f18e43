// The databases a pass has compacted whose copies do not carry their names yet, each still
// under the lock its compaction took (jet/io/source_lock.h), so that no Jet client starts
// writing into a file about to be deleted. The engine hands each lock over here when its copy
// is written; the file system checks a held database for changes before it deletes it, and
// lets the lock go once the copy has taken the database's name. Whatever a pass still holds
// when it ends, at a failure, is let go with the pass's directory lock.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "jet/io/source_lock.h"

namespace vintrel {

class SourceHolds {
 public:
  void Keep(std::unique_ptr<jet::SourceLock> lock);
  // Raises RaisedError when `path` is held and changed since its compaction began.
  void RequireUnchangedBeforeDelete(const std::string& path) const;
  // Called once a file has been given the name `path`.
  void Release(const std::string& path);
  void ReleaseAll() { locks_.clear(); }

 private:
  std::vector<std::unique_ptr<jet::SourceLock>> locks_;
};

}  // namespace vintrel
