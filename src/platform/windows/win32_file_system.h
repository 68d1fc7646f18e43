// The Scripting Runtime's file operations made with Win32 calls, with its semantics and its
// texts ("File not found", "Permission denied", "File already exists"), for where its
// FileSystemObject is not registered or leaves a member unimplemented (Wine's File.Delete
// and File.Name).
#pragma once

#include <memory>
#include <string>

#include "compaction/platform_objects.h"

namespace vintrel {

class Win32File final : public File {
 public:
  // `path` is a full path.
  explicit Win32File(std::wstring path) : path_(std::move(path)) {}
  void Delete(bool force) override;
  void SetName(const std::u16string& name) override;
  // Follows a rename to `name` made by another's call.
  void Renamed(const std::u16string& name) { path_ = SiblingPath(name); }

 private:
  std::wstring SiblingPath(const std::u16string& name) const;

  std::wstring path_;
};

class Win32FileSystem final : public FileSystem {
 public:
  bool FileExists(const std::u16string& path) override;
  void DeleteFile(const std::u16string& path, bool force) override;
  std::shared_ptr<File> GetFile(const std::u16string& path) override;
};

// `path` resolved against the current directory, as a File keeps it.
std::wstring FullFilePath(const std::u16string& path);

}  // namespace vintrel
