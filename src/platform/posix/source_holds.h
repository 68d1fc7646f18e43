// The databases a pass has compacted whose copies do not carry their names yet, each still
// under the lock its compaction took (jet/io/source_lock.h), so that no Jet client starts
// writing into a file about to be deleted. The engine hands each lock over here when its copy
// is written; the file system checks a held database for changes before it deletes it, and
// lets the lock go once the copy has taken the database's name. Whatever a pass still holds
// when it ends, at a failure, is let go with the pass's directory lock.
//
// The lock's descriptor is by then the last reference to the deleted database, and closing
// it frees the file's blocks, which takes time in proportion to its size (40 to 60 ms for
// 131 MB on ext4, most of it spent waiting on the file system): it is closed on a thread of
// its own, while the pass goes on to the next database. Should the process end first, the
// system closes it all the same.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "jet/io/source_lock.h"

namespace vintrel {

class SourceHolds {
 public:
  void Keep(std::unique_ptr<jet::SourceLock> lock);
  // Raises RaisedError when `path` is held and changed since its compaction began.
  void RequireUnchangedBeforeDelete(const std::string& path) const;
  // Called once a file has been given the name `path`; the lock held there is let go in the
  // background.
  void Release(const std::string& path);
  void ReleaseAll() { locks_.clear(); }

 private:
  std::vector<std::unique_ptr<jet::SourceLock>> locks_;
  // Closes the locks last released; joined before the next release and on destruction.
  std::jthread closing_;
};

}  // namespace vintrel
