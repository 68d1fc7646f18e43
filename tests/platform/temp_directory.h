// A fresh directory that the test works in: it becomes the current directory and is removed,
// with everything in it, afterwards.
#pragma once

#include <string>
#include <vector>

namespace vintrel::testing {

class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

void WriteFile(const std::string& name, const std::string& content);
std::string ReadFile(const std::string& name);
// Names of the entries of the current directory, sorted.
std::vector<std::string> ListDirectory();

}  // namespace vintrel::testing
