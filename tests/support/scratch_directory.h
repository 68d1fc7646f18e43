// Fresh directories for tests that touch real files, and the few file helpers they share.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vintrel::testing {

// A new empty directory under the system's temporary folder, removed with everything in it
// (read-only files and folders included) when the object goes.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A scratch directory that is the current directory while it lives, as the compaction pass
// works in the current directory.
class WorkingDirectory : public ScratchDirectory {
 public:
  WorkingDirectory();
  ~WorkingDirectory();

 private:
  std::filesystem::path previous_;
};

void WriteFile(const std::filesystem::path& file, const std::string& content, bool readOnly = false);
std::string ReadFile(const std::filesystem::path& file);
// Names of the entries of `directory`, sorted.
std::vector<std::string> ListDirectory(const std::filesystem::path& directory = ".");

}  // namespace vintrel::testing
