// A platform for tests: an in-memory directory, a fake engine and object creation, all of
// whose calls are recorded in one journal and any one of which can be made to fail.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compaction/compaction_host.h"
#include "compaction/platform_objects.h"

namespace vintrel::testing {

struct FakeFile {
  std::string content;
  bool readOnly = false;
};

class ScriptedPlatform final : public ObjectFactory {
 public:
  ScriptedPlatform();
  ~ScriptedPlatform() override;

  // The directory's files by name. The fake engine writes "compacted:" + the source's content.
  std::map<std::u16string, FakeFile> files;

  // Every platform call so far, in order, e.g. "FileExists lift.mdb", "Create FileSystemObject",
  // "CompactDatabase <source> | <destination>", "GetFile lift.mdb", "Delete lift.mdb",
  // "SetName lift1.mdb -> lift.mdb", "DeleteFile lift1.mdb".
  std::vector<std::string> journal;

  // Makes the call with that journal index (counted from 0) raise `description` instead of
  // doing anything.
  void FailCall(size_t index, std::u16string description);
  // Makes every call whose journal line starts with `prefix` raise `description`.
  void FailCallsStartingWith(std::string prefix, std::u16string description);
  // Runs `action` once, just before the call with that journal index: a second pass started
  // while the first is held between two of its calls.
  void BeforeCall(size_t index, std::function<void()> action);

  // Objects created and still alive, to check that the host released them.
  int liveObjects() const { return *liveObjects_; }

  std::shared_ptr<PlatformObject> CreateObject(ClassId classId) override;
  // Journal line "LockCurrentDirectory"; the directory is called "/scripted".
  std::unique_ptr<DirectoryLock> LockCurrentDirectory() override;

  // Records the call; raises when it was scripted to fail.
  void Record(std::string call);

 private:
  std::optional<size_t> failingIndex_;
  std::optional<size_t> actionIndex_;
  std::function<void()> action_;
  bool directoryLocked_ = false;
  std::vector<std::pair<std::string, std::u16string>> failingPrefixes_;
  std::u16string failingDescription_;
  std::shared_ptr<int> liveObjects_ = std::make_shared<int>(0);
};

// A host whose log is a string and whose error box is a list of descriptions. Its AppendLog
// goes through the platform's journal as "AppendLog <text>", so it too can be made to fail.
class ScriptedHost final : public CompactionHost {
 public:
  explicit ScriptedHost(ScriptedPlatform& platform) : CompactionHost(platform), platform_(platform) {}

  void AppendLog(const std::u16string& text) override;
  void ReportError(const std::u16string& description) override;

  std::u16string log;
  std::vector<std::u16string> errors;

 private:
  ScriptedPlatform& platform_;
};

}  // namespace vintrel::testing
