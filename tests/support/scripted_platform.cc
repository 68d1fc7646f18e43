#include "scripted_platform.h"

#include <utility>

#include "compaction/raised_error.h"
#include "text/utf.h"

namespace vintrel::testing {
namespace {

// Counts itself among the platform's live objects while it exists.
class Counted {
 public:
  explicit Counted(std::shared_ptr<int> live) : live_(std::move(live)) { ++*live_; }
  ~Counted() { --*live_; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;

 private:
  std::shared_ptr<int> live_;
};

std::string Utf8(const std::u16string& text) { return ToUtf8(text); }

class ScriptedFile final : public File, Counted {
 public:
  ScriptedFile(ScriptedPlatform& platform, std::u16string name, std::shared_ptr<int> live)
      : Counted(std::move(live)), platform_(platform), name_(std::move(name)) {}

  void Delete(bool force) override {
    platform_.Record("Delete " + Utf8(name_) + (force ? " force" : ""));
    auto file = platform_.files.find(name_);
    if (file == platform_.files.end()) throw RaisedError(u"File not found");
    if (file->second.readOnly && !force) throw RaisedError(u"Permission denied");
    platform_.files.erase(file);
  }

  void SetName(const std::u16string& name) override {
    platform_.Record("SetName " + Utf8(name_) + " -> " + Utf8(name));
    auto file = platform_.files.find(name_);
    if (file == platform_.files.end()) throw RaisedError(u"File not found");
    if (platform_.files.contains(name)) throw RaisedError(u"File already exists");
    FakeFile moved = std::move(file->second);
    platform_.files.erase(file);
    platform_.files[name] = std::move(moved);
    name_ = name;
  }

 private:
  ScriptedPlatform& platform_;
  std::u16string name_;
};

class ScriptedFileSystem final : public FileSystem, Counted {
 public:
  ScriptedFileSystem(ScriptedPlatform& platform, std::shared_ptr<int> live)
      : Counted(live), platform_(platform), live_(std::move(live)) {}

  bool FileExists(const std::u16string& path) override {
    platform_.Record("FileExists " + Utf8(path));
    return platform_.files.contains(path);
  }

  void DeleteFile(const std::u16string& path, bool force) override {
    platform_.Record("DeleteFile " + Utf8(path) + (force ? " force" : ""));
    auto file = platform_.files.find(path);
    if (file == platform_.files.end()) throw RaisedError(u"File not found");
    if (file->second.readOnly && !force) throw RaisedError(u"Permission denied");
    platform_.files.erase(file);
  }

  std::shared_ptr<File> GetFile(const std::u16string& path) override {
    platform_.Record("GetFile " + Utf8(path));
    if (!platform_.files.contains(path)) throw RaisedError(u"File not found");
    return std::make_shared<ScriptedFile>(platform_, path, live_);
  }

 private:
  ScriptedPlatform& platform_;
  std::shared_ptr<int> live_;
};

// Takes the file names out of the two connection strings the pass builds.
std::u16string DataSource(const std::u16string& connection) {
  const std::u16string key = u"Data Source=";
  const size_t start = connection.find(key);
  if (start == std::u16string::npos) return {};
  const size_t end = connection.find(u';', start);
  return connection.substr(start + key.size(), end == std::u16string::npos ? end : end - start - key.size());
}

class ScriptedEngine final : public Engine, Counted {
 public:
  ScriptedEngine(ScriptedPlatform& platform, std::shared_ptr<int> live)
      : Counted(std::move(live)), platform_(platform) {}

  void CompactDatabase(const std::u16string& source, const std::u16string& destination) override {
    platform_.Record("CompactDatabase " + Utf8(source) + " | " + Utf8(destination));
    auto from = platform_.files.find(DataSource(source));
    if (from == platform_.files.end()) throw RaisedError(u"Could not find file.");
    const std::u16string to = DataSource(destination);
    if (platform_.files.contains(to)) throw RaisedError(u"Database already exists.");
    platform_.files[to] = FakeFile{"compacted:" + from->second.content, false};
  }

 private:
  ScriptedPlatform& platform_;
};

}  // namespace

ScriptedPlatform::ScriptedPlatform() = default;
ScriptedPlatform::~ScriptedPlatform() = default;

void ScriptedPlatform::FailCall(size_t index, std::u16string description) {
  failingIndex_ = index;
  failingDescription_ = std::move(description);
}

void ScriptedPlatform::FailCallsStartingWith(std::string prefix, std::u16string description) {
  failingPrefixes_.emplace_back(std::move(prefix), std::move(description));
}

void ScriptedPlatform::BeforeCall(size_t index, std::function<void()> action) {
  actionIndex_ = index;
  action_ = std::move(action);
}

void ScriptedPlatform::Record(std::string call) {
  if (actionIndex_ == journal.size()) {
    actionIndex_.reset();
    std::exchange(action_, {})();
  }
  const size_t index = journal.size();
  journal.push_back(call);
  if (failingIndex_ == index) throw RaisedError(failingDescription_);
  for (const auto& [prefix, description] : failingPrefixes_) {
    if (call.starts_with(prefix)) throw RaisedError(description);
  }
}

std::shared_ptr<PlatformObject> ScriptedPlatform::CreateObject(ClassId classId) {
  if (classId.text == kFileSystemObjectClass.text) {
    Record("Create FileSystemObject");
    return std::make_shared<ScriptedFileSystem>(*this, liveObjects_);
  }
  if (classId.text == kJetEngineClass.text) {
    Record("Create JetEngine");
    return std::make_shared<ScriptedEngine>(*this, liveObjects_);
  }
  Record("Create " + Utf8(std::u16string(classId.text)));
  throw RaisedError(u"Class not registered");
}

std::unique_ptr<DirectoryLock> ScriptedPlatform::LockCurrentDirectory() {
  Record("LockCurrentDirectory");
  if (directoryLocked_) throw RaisedError(AnotherCompactionRunning(u"/scripted"));
  class Lock final : public DirectoryLock {
   public:
    explicit Lock(bool& locked) : locked_(locked) { locked_ = true; }
    ~Lock() override { locked_ = false; }

   private:
    bool& locked_;
  };
  return std::make_unique<Lock>(directoryLocked_);
}

void ScriptedHost::AppendLog(const std::u16string& text) {
  platform_.Record("AppendLog " + Utf8(text));
  log += text;
}

void ScriptedHost::ReportError(const std::u16string& description) {
  errors.push_back(description);
}

}  // namespace vintrel::testing
