// The real POSIX file system with a stand-in engine whose "compacted copy" is the source's
// bytes, written and flushed like a real one, and the real directory lock. Every platform call first calls a hook, so that a
// test can stop the process between any two of them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "compaction/compaction_host.h"
#include "compaction/platform_objects.h"

namespace vintrel::testing {

class CopyingPlatform final : public ObjectFactory {
 public:
  // `beforeCall` runs before every platform call, with a name for the call; `midCopy` runs
  // when the engine has written half of the copy.
  explicit CopyingPlatform(std::function<void(const std::string&)> beforeCall = {},
                           std::function<void()> midCopy = {});

  std::shared_ptr<PlatformObject> CreateObject(ClassId classId) override;
  // The real POSIX lock.
  std::unique_ptr<DirectoryLock> LockCurrentDirectory() override;

 private:
  std::function<void(const std::string&)> beforeCall_;
  std::function<void()> midCopy_;
};

class RecordingHost final : public CompactionHost {
 public:
  using CompactionHost::CompactionHost;
  void AppendLog(const std::u16string& text) override { log += text; }
  void ReportError(const std::u16string& description) override { errors.push_back(description); }

  std::u16string log;
  std::vector<std::u16string> errors;
};

}  // namespace vintrel::testing
