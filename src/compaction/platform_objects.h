// The platform objects the compaction works through, with only the operations it uses. Each
// operation either does what its comment says or raises RaisedError with a description.
// Objects are shared, reference-counted handles, as the platform's own objects are.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vintrel {

// Base of every object the platform creates; an interface is asked of it by casting.
class PlatformObject {
 public:
  virtual ~PlatformObject() = default;
};

// A file obtained from FileSystem::GetFile.
class File : public virtual PlatformObject {
 public:
  // Removes the file. With force false, a read-only file is left alone and the call fails.
  virtual void Delete(bool force) = 0;
  // Renames the file within its own directory; the file keeps being referred to by this object.
  virtual void SetName(const std::u16string& name) = 0;
};

// Bare names are resolved against the process's current directory.
class FileSystem : public virtual PlatformObject {
 public:
  // True when a file (not a directory) of that name exists.
  virtual bool FileExists(const std::u16string& path) = 0;
  // With force false, a read-only file is left alone and the call fails.
  virtual void DeleteFile(const std::u16string& path, bool force) = 0;
  // A File for an existing file.
  virtual std::shared_ptr<File> GetFile(const std::u16string& path) = 0;
};

class Engine : public virtual PlatformObject {
 public:
  // On return a compacted copy of the source exists under the destination's name and the
  // source is unchanged.
  virtual void CompactDatabase(const std::u16string& source, const std::u16string& destination) = 0;
};

// A class identifier in its registry form, braces included.
struct ClassId {
  std::u16string_view text;
};

inline constexpr ClassId kJetEngineClass{u"{DE88C160-FF2C-11D1-BB6F-00C04FAE22DA}"};
inline constexpr ClassId kFileSystemObjectClass{u"{0D43FE01-F093-11CF-8940-00A0C9054228}"};

// Held by a pass for as long as it works in the current directory. Two passes over one
// directory at once would take each other's scratch files for left-overs and lose a database.
class DirectoryLock {
 public:
  virtual ~DirectoryLock() = default;
};

// What a second pass raises while another holds the directory's lock.
inline std::u16string AnotherCompactionRunning(std::u16string_view directory) {
  return u"Another compaction is running in the folder '" + std::u16string(directory) + u"'.";
}

// Creation of platform objects by class identifier, and the directory lock.
class ObjectFactory {
 public:
  virtual ~ObjectFactory() = default;
  // A new object of that class; raises when the class is unknown or cannot be created.
  virtual std::shared_ptr<PlatformObject> CreateObject(ClassId classId) = 0;
  // Locks the current directory until the lock is destroyed, against passes in this process
  // and in others; raises AnotherCompactionRunning when one holds it. The system releases the
  // lock when the process ends, however it ends.
  virtual std::unique_ptr<DirectoryLock> LockCurrentDirectory() = 0;
};

}  // namespace vintrel
