// Extended attributes are copied as the raw bytes the kernel gives, so an ACL is kept without
// a library that parses it: system.posix_acl_access is one such attribute. An attribute the
// copy's file system will not take (ENOTSUP, EPERM) is a refusal like any other, never dropped.
#include "platform/posix/kept_attributes.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "compaction/raised_error.h"
#include "text/utf.h"

namespace vintrel {
namespace {

constexpr mode_t kModeBits = 07777;  // permissions with the set-user-ID, set-group-ID and sticky bits

[[noreturn]] void Raise(const std::string& description) { throw RaisedError(FromUtf8(description)); }

// `failure` follows "could not be": what the copy lacks.
[[noreturn]] void RaiseNotKept(const std::string& path, const std::string& failure) {
  Raise("The compacted copy of '" + path + "' could not be " + failure + "; the database was left as it is.");
}

[[noreturn]] void RaiseUnreadable(const std::string& path, int error) {
  Raise("Could not read the extended attributes of '" + path + "': " + std::strerror(error) + ".");
}

// What `call(buffer, size)` gives, a list or a value that may grow between the call that
// measures it and the one that reads it; nullopt, with errno set, when it fails.
template <typename Call>
std::optional<std::string> ReadSized(Call call) {
  for (;;) {
    const ssize_t size = call(nullptr, 0);
    if (size < 0) return std::nullopt;
    if (size == 0) return std::string();
    std::string bytes(static_cast<size_t>(size), '\0');
    const ssize_t read = call(bytes.data(), bytes.size());
    if (read >= 0) {
      bytes.resize(static_cast<size_t>(read));
      return bytes;
    }
    if (errno != ERANGE) return std::nullopt;
  }
}

// The extended attributes of `fd` the process may see, none on a file system without them;
// nullopt, with errno set, when they cannot be listed.
std::optional<std::vector<std::string>> AttributeNames(int fd) {
  const std::optional<std::string> list = ReadSized([fd](char* buffer, size_t size) {
    return ::flistxattr(fd, buffer, size);
  });
  if (!list) {
    if (errno == ENOTSUP) return std::vector<std::string>{};
    return std::nullopt;
  }
  std::vector<std::string> names;
  for (size_t start = 0; start < list->size();) {
    const size_t end = std::min(list->find('\0', start), list->size());
    names.push_back(list->substr(start, end - start));
    start = end + 1;
  }
  return names;
}

std::string AttributeLabel(const std::string& name) {
  if (name == "system.posix_acl_access") return "the access control list (" + name + ")";
  return "the extended attribute '" + name + "'";
}

// user:group, each by number where it has no name.
std::string OwnerName(uid_t uid, gid_t gid) {
  const passwd* user = ::getpwuid(uid);
  std::string name = user != nullptr ? user->pw_name : std::to_string(uid);
  const group* group = ::getgrgid(gid);
  return name + ":" + (group != nullptr ? group->gr_name : std::to_string(gid));
}

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & kModeBits));
  return text;
}

void GiveExtendedAttributes(int database, int copy, const std::string& path) {
  const std::optional<std::vector<std::string>> names = AttributeNames(database);
  if (!names) RaiseUnreadable(path, errno);
  const std::optional<std::vector<std::string>> own = AttributeNames(copy);
  if (!own) RaiseNotKept(path, "given the extended attributes of the database");
  // A copy made in a folder with a default ACL starts with an access ACL of its own.
  for (const std::string& name : *own) {
    if (std::find(names->begin(), names->end(), name) == names->end() && ::fremovexattr(copy, name.c_str()) != 0) {
      RaiseNotKept(path, "cleared of " + AttributeLabel(name) + ", which the database does not have");
    }
  }
  for (const std::string& name : *names) {
    const std::optional<std::string> value = ReadSized([&](char* buffer, size_t size) {
      return ::fgetxattr(database, name.c_str(), buffer, size);
    });
    if (!value) RaiseUnreadable(path, errno);
    if (::fsetxattr(copy, name.c_str(), value->data(), value->size(), 0) != 0) {
      RaiseNotKept(path, "given " + AttributeLabel(name) + " of the database");
    }
  }
}

}  // namespace

void RequireSingleName(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return;
  if (S_ISLNK(info.st_mode)) {
    std::error_code unread;
    Raise("The database '" + path + "' is a symbolic link to '" + std::filesystem::read_symlink(path, unread).string() +
          "'; compact the file it points to in its own folder, or replace the link with the file.");
  }
  if (info.st_nlink > 1) {
    Raise("The database '" + path + "' has " + std::to_string(info.st_nlink) +
          " names (hard links), and its compacted copy could take only this one; remove its other names, or "
          "replace it with a copy of its own.");
  }
}

void GiveAttributesOf(int database, int copy, const std::string& path) {
  struct stat source;
  if (::fstat(database, &source) != 0) Raise("Could not read the state of '" + path + "': " + std::strerror(errno) + ".");
  const std::string owner = "given the owner of the database (" + OwnerName(source.st_uid, source.st_gid) + ")";
  const std::string mode = "given the mode of the database (" + Octal(source.st_mode) + ")";
  // The owner first, as a change of owner clears the set-user-ID and set-group-ID bits.
  if (::fchown(copy, source.st_uid, source.st_gid) != 0) RaiseNotKept(path, owner);
  GiveExtendedAttributes(database, copy, path);
  if (::fchmod(copy, source.st_mode & kModeBits) != 0) RaiseNotKept(path, mode);
  // Some file systems accept an owner or a mode they do not keep.
  struct stat given;
  if (::fstat(copy, &given) != 0 || given.st_uid != source.st_uid || given.st_gid != source.st_gid) {
    RaiseNotKept(path, owner);
  }
  if ((given.st_mode & kModeBits) != (source.st_mode & kModeBits)) RaiseNotKept(path, mode);
}

}  // namespace vintrel
