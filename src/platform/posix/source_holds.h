// The databases a pass has compacted whose copies do not carry their names yet, each still
// under the lock its compaction took (jet/io/source_lock.h), so that no Jet client starts
// writing into a file about to be deleted. The engine hands each lock over here when its copy
// is written; the file system checks a held database for changes before it deletes it, and
// lets the lock go once the copy has taken the database's name. Whatever a pass still holds
// when it ends, at a failure, is let go with the pass's directory lock.
//
// A database whose salvaged copy lost rows is not deleted but kept beside it under a name
// that says what it is; the holds also carry where the pass's reports go.
//
// The lock's descriptor is by then the last reference to the deleted database, and closing
// it frees the file's blocks, which takes time in proportion to its size (35 to 60 ms for
// 131 MB on ext4, most of it spent waiting on the file system), and which a process about to
// end would wait for: the last close is left to a process of its own (orphan_close.h), or,
// when none can be started, made on a thread while the pass goes on to the next database.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "jet/io/source_lock.h"

namespace vintrel {

// Where the engine and the file system say what they did beyond the pass's own steps (a
// repair, a lost row, a damaged original kept); lines without a line break. May be empty.
using Reporter = std::function<void(const std::string& line)>;

class SourceHolds {
 public:
  explicit SourceHolds(Reporter report = {}) : report_(std::move(report)) {}

  // `keep_damaged`: the copy lost rows, so the database is to be kept rather than deleted.
  void Keep(std::unique_ptr<jet::SourceLock> lock, bool keep_damaged);
  // Raises RaisedError when `path` is held and changed since its compaction began.
  void RequireUnchangedBeforeDelete(const std::string& path) const;
  // Whether `path` is held as a damaged original to keep.
  bool KeepsDamaged(const std::string& path) const;
  // Called once a file has been given the name `path`; the lock held there is let go in the
  // background.
  void Release(const std::string& path);
  void ReleaseAll() { held_.clear(); }

  void Report(const std::string& line) const {
    if (report_) report_(line);
  }

 private:
  struct Held {
    std::unique_ptr<jet::SourceLock> lock;
    bool keep_damaged;
  };
  const Held* Find(const std::string& path) const;

  Reporter report_;
  std::vector<Held> held_;
  // Closes the locks last released; joined before the next release and on destruction.
  std::jthread closing_;
};

}  // namespace vintrel
