// Paths are made absolute when a file is looked up, so a File keeps naming the same file if the
// current directory changes later. Every operation checks the file again (StatFile) before it
// acts, so a file that was removed, or replaced by a directory, since its lookup is reported as
// not found.
#include "platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "compaction/raised_error.h"
#include "jet/io/posix/sync_directory.h"
#include "jet/jet_error.h"
#include "platform/posix/system_error.h"
#include "text/utf.h"

namespace vintrel {
namespace {

std::string AbsolutePath(const std::u16string& path) {
  std::string name = ToUtf8(path);
  if (!name.empty() && name.front() == '/') return name;
  char directory[PATH_MAX];
  if (::getcwd(directory, sizeof directory) == nullptr) RaiseWindowsFileError(name, errno);
  std::string absolute(directory);
  if (absolute.back() != '/') absolute += '/';
  return absolute + name;
}

bool IsRegularFile(const std::string& path, struct stat& info) {
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Looks the file up the way every operation on it does: a directory or anything else that is
// not a regular file is not found.
struct stat StatFile(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) RaiseWindowsFileError(path, errno);
  if (!S_ISREG(info.st_mode)) throw RaisedError(u"File not found");
  return info;
}

void RequireDeletable(const std::string& path, bool force) {
  const struct stat info = StatFile(path);
  // POSIX lets anyone who may write the directory unlink a file; the read-only attribute this
  // mirrors belongs to the file itself.
  if (!force && (info.st_mode & S_IWUSR) == 0) throw RaisedError(u"Permission denied");
}

void RemoveFile(const std::string& path, bool force) {
  RequireDeletable(path, force);
  if (::unlink(path.c_str()) != 0) RaiseWindowsFileError(path, errno);
}

bool IsBareName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

// Renames without ever replacing an existing file; false when `to` exists. Where the file
// system has no such rename, a hard link followed by removing the old name gives the same
// guarantee; an interruption between the two leaves both names on the same data, never
// neither.
bool TryRenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EEXIST) return false;
  if (errno != EINVAL && errno != ENOSYS) RaiseWindowsFileError(from, errno);
  if (::link(from.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) return false;
    RaiseWindowsFileError(from, errno);
  }
  if (::unlink(from.c_str()) != 0) RaiseWindowsFileError(from, errno);
  return true;
}

void RenameNoReplace(const std::string& from, const std::string& to) {
  if (!TryRenameNoReplace(from, to)) RaiseWindowsFileError(to, EEXIST);
}

// A rename lasts through a power cut only once its folder is flushed; until then the database
// may be found under its scratch name alone.
void FlushFolderOf(const std::string& path) {
  try {
    jet::SyncDirectoryOf(path);
  } catch (const jet::JetError& error) {
    throw RaisedError(FromUtf8(error.what()));
  }
}

// A damaged database whose copy lost rows goes to `<name>.damaged.mdb`, or the first of
// `<name>.damaged-2.mdb`, `-3`, ... that is free: never over another file.
std::string KeepAsDamaged(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  const std::string stem = dot != std::string::npos && dot > slash ? path.substr(0, dot) : path;
  const std::string extension = dot != std::string::npos && dot > slash ? path.substr(dot) : "";
  for (unsigned n = 1;; ++n) {
    const std::string kept = stem + ".damaged" + (n == 1 ? "" : "-" + std::to_string(n)) + extension;
    if (TryRenameNoReplace(path, kept)) return kept;
  }
}

}  // namespace

void PosixFile::Delete(bool force) {
  holds_->RequireUnchangedBeforeDelete(path_);
  if (!holds_->KeepsDamaged(path_)) {
    RemoveFile(path_, force);
    return;
  }
  RequireDeletable(path_, force);
  const std::string kept = KeepAsDamaged(path_);
  holds_->Report(path_.substr(path_.rfind('/') + 1) + ": the damaged database is kept as " +
                 kept.substr(kept.rfind('/') + 1));
}

void PosixFile::SetName(const std::u16string& name) {
  const std::string newName = ToUtf8(name);
  if (!IsBareName(newName)) throw RaisedError(u"Bad file name or number");
  StatFile(path_);
  const std::string target = path_.substr(0, path_.rfind('/') + 1) + newName;
  RenameNoReplace(path_, target);
  FlushFolderOf(target);
  path_ = target;
  holds_->Release(path_);
}

bool PosixFileSystem::FileExists(const std::u16string& path) {
  struct stat info;
  return IsRegularFile(AbsolutePath(path), info);
}

void PosixFileSystem::DeleteFile(const std::u16string& path, bool force) {
  RemoveFile(AbsolutePath(path), force);
}

std::shared_ptr<File> PosixFileSystem::GetFile(const std::u16string& path) {
  std::string absolute = AbsolutePath(path);
  StatFile(absolute);
  return std::make_shared<PosixFile>(std::move(absolute), holds_);
}

}  // namespace vintrel
