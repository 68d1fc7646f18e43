#include "copying_platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "compaction/raised_error.h"
#include "platform/common/connection_string.h"
#include "platform/posix/posix_directory_lock.h"
#include "platform/posix/posix_file_system.h"
#include "scratch_directory.h"
#include "text/utf.h"

namespace vintrel::testing {
namespace {

using Hook = std::function<void(const std::string&)>;

class HookedFile final : public File {
 public:
  HookedFile(std::shared_ptr<File> file, const Hook& hook) : file_(std::move(file)), hook_(hook) {}
  void Delete(bool force) override {
    hook_("Delete");
    file_->Delete(force);
  }
  void SetName(const std::u16string& name) override {
    hook_("SetName");
    file_->SetName(name);
  }

 private:
  std::shared_ptr<File> file_;
  const Hook& hook_;
};

class HookedFileSystem final : public FileSystem {
 public:
  explicit HookedFileSystem(const Hook& hook) : hook_(hook) {}
  bool FileExists(const std::u16string& path) override {
    hook_("FileExists " + ToUtf8(path));
    return real_.FileExists(path);
  }
  void DeleteFile(const std::u16string& path, bool force) override {
    hook_("DeleteFile " + ToUtf8(path));
    real_.DeleteFile(path, force);
  }
  std::shared_ptr<File> GetFile(const std::u16string& path) override {
    hook_("GetFile " + ToUtf8(path));
    return std::make_shared<HookedFile>(real_.GetFile(path), hook_);
  }

 private:
  PosixFileSystem real_;
  const Hook& hook_;
};

std::string DataSource(const std::u16string& connection) {
  return ToUtf8(ConnectionString::Parse(connection).Get(u"Data Source").value_or(u""));
}

class CopyingEngine final : public Engine {
 public:
  CopyingEngine(const Hook& hook, const std::function<void()>& midCopy)
      : hook_(hook), midCopy_(midCopy) {}

  void CompactDatabase(const std::u16string& source, const std::u16string& destination) override {
    hook_("CompactDatabase");
    const std::string data = ReadFile(DataSource(source));
    const int fd = ::open(DataSource(destination).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) throw RaisedError(errno == EEXIST ? u"Database already exists." : u"Disk or network error.");
    const size_t half = data.size() / 2;
    bool written = ::write(fd, data.data(), half) == static_cast<ssize_t>(half);
    if (midCopy_) midCopy_();
    written = written && ::write(fd, data.data() + half, data.size() - half) ==
                             static_cast<ssize_t>(data.size() - half);
    written = written && ::fsync(fd) == 0;
    ::close(fd);
    if (!written) throw RaisedError(u"Disk or network error.");
  }

 private:
  const Hook& hook_;
  const std::function<void()>& midCopy_;
};

}  // namespace

CopyingPlatform::CopyingPlatform(Hook beforeCall, std::function<void()> midCopy)
    : beforeCall_(beforeCall ? std::move(beforeCall) : [](const std::string&) {}),
      midCopy_(std::move(midCopy)) {}

std::shared_ptr<PlatformObject> CopyingPlatform::CreateObject(ClassId classId) {
  if (classId.text == kFileSystemObjectClass.text) {
    beforeCall_("Create FileSystemObject");
    return std::make_shared<HookedFileSystem>(beforeCall_);
  }
  beforeCall_("Create JetEngine");
  return std::make_shared<CopyingEngine>(beforeCall_, midCopy_);
}

std::unique_ptr<DirectoryLock> CopyingPlatform::LockCurrentDirectory() {
  beforeCall_("LockCurrentDirectory");
  return std::make_unique<PosixDirectoryLock>();
}

}  // namespace vintrel::testing
