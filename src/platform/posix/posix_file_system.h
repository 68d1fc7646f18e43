// The file system on POSIX, with the semantics the compaction relies on from the Windows one:
// only regular files count as files, read-only means the owner's write bit is clear (for root
// too), and a rename never replaces an existing file.
#pragma once

#include <memory>
#include <string>

#include "compaction/platform_objects.h"

namespace vintrel {

class PosixFile final : public File {
 public:
  // `path` is absolute, fixed when the file was looked up.
  explicit PosixFile(std::string path) : path_(std::move(path)) {}

  void Delete(bool force) override;
  void SetName(const std::u16string& name) override;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

class PosixFileSystem final : public FileSystem {
 public:
  bool FileExists(const std::u16string& path) override;
  void DeleteFile(const std::u16string& path, bool force) override;
  std::shared_ptr<File> GetFile(const std::u16string& path) override;
};

}  // namespace vintrel
