// A fresh directory under the temporary folder that is the current directory for the life of
// the object; removed with its files afterwards, read-only ones included.
#pragma once

#include <filesystem>
#include <string>

namespace vintrel::testing {

class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();

  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // Writes a file in the directory, optionally with the read-only attribute.
  void Write(const std::wstring& name, const std::string& content, bool readOnly = false) const;
  bool Exists(const std::wstring& name) const;
  std::string Read(const std::wstring& name) const;
  // The names of the directory's files, sorted, each followed by a space.
  std::wstring Listing() const;

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

}  // namespace vintrel::testing
