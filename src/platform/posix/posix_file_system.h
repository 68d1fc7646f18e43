// The file system on POSIX, with the semantics the compaction relies on from the Windows one:
// only regular files count as files, read-only means the owner's write bit is clear (for root
// too), and a rename never replaces an existing file and is flushed to disk (its folder) before
// SetName returns, so that a database said to be done keeps its name. A database the engine still holds
// (source_holds.h) is deleted only when it has not changed since its compaction began, and
// its hold ends when its copy takes its name.
#pragma once

#include <memory>
#include <string>

#include "compaction/platform_objects.h"
#include "platform/posix/source_holds.h"

namespace vintrel {

class PosixFile final : public File {
 public:
  // `path` is absolute, fixed when the file was looked up.
  PosixFile(std::string path, std::shared_ptr<SourceHolds> holds)
      : path_(std::move(path)), holds_(std::move(holds)) {}

  void Delete(bool force) override;
  void SetName(const std::u16string& name) override;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::shared_ptr<SourceHolds> holds_;
};

class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(std::shared_ptr<SourceHolds> holds = std::make_shared<SourceHolds>())
      : holds_(std::move(holds)) {}

  bool FileExists(const std::u16string& path) override;
  void DeleteFile(const std::u16string& path, bool force) override;
  std::shared_ptr<File> GetFile(const std::u16string& path) override;

 private:
  std::shared_ptr<SourceHolds> holds_;
};

}  // namespace vintrel
