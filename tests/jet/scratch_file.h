// A file in a fresh temporary directory, removed with the directory afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "jet/io/file_io.h"

namespace vintrel::jet::testing {

class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  std::string Path(const std::string& name) const { return (path_ / name).string(); }
  // A PageOutput-ready descriptor of a new file `name`.
  Descriptor Create(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vintrel::jet::testing
