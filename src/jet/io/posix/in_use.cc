// Locks are probed with F_OFD_GETLK for a write lock over every byte (length 0 reaches past
// the end of the file): it reports any lock another holder has, read or write, classic or
// open-file-description, and unlike F_GETLK it also sees classic locks of this process, which
// are not ours (our own locks are taken on descriptors we never probe). A probe needs no
// write access.
//
// Writers are found by walking /proc: each descriptor is stat'ed through its /proc/<pid>/fd
// link, which names the open file itself, so hard links and other paths to the database are
// seen too; its access mode comes from the "flags:" line of /proc/<pid>/fdinfo/<fd>. The
// processes of other users are not readable to an ordinary user and are passed over.
#include "jet/io/posix/in_use.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "jet/io/file_io.h"

namespace vintrel::jet {
namespace {

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};
using DirectoryStream = std::unique_ptr<DIR, DirectoryCloser>;

// The entries of the directory open at `fd`, which the stream takes over; empty when it
// cannot be read.
DirectoryStream OpenDirectory(int fd) {
  DIR* directory = ::fdopendir(fd);
  if (directory == nullptr) ::close(fd);
  return DirectoryStream(directory);
}

bool HasRecordLock(int fd, const std::string& path) {
  struct flock probe = AllBytes(F_WRLCK);
  if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) RaisePathError("test the locks of", path, errno);
  return probe.l_type != F_UNLCK;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// The lock file is `<name>.ldb` for `<name>.mdb`, in the letter case of whoever made it:
// Windows matches names without regard to case, so a client may spell it either way.
bool LockFileIsLocked(const std::string& path) {
  const std::string directory = DirectoryOf(path);
  const std::string file = path.substr(path.rfind('/') + 1);
  const std::string lock_name = file.substr(0, file.rfind('.')) + ".ldb";
  const int directory_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory_fd < 0) RaisePathError("open", directory, errno);
  DirectoryStream entries = OpenDirectory(directory_fd);
  if (!entries) RaisePathError("read", directory, errno);
  while (const dirent* entry = ::readdir(entries.get())) {
    if (!EqualIgnoringAsciiCase(entry->d_name, lock_name)) continue;
    const std::string lock_path = directory + "/" + entry->d_name;
    Descriptor lock_file(::openat(directory_fd, entry->d_name, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!lock_file.valid()) {
      if (errno == ENOENT) continue;
      RaisePathError("open", lock_path, errno);
    }
    if (HasRecordLock(lock_file.get(), lock_path)) return true;
  }
  return false;
}

// The access mode in /proc/<pid>/fdinfo/<fd>'s "flags:" line (octal); O_RDONLY when it
// cannot be read, as for a descriptor closed meanwhile.
int AccessMode(int process_fd, const char* fd_name) {
  Descriptor info(::openat(process_fd, ("fdinfo/" + std::string(fd_name)).c_str(), O_RDONLY | O_CLOEXEC));
  if (!info.valid()) return O_RDONLY;
  char text[256];
  const ssize_t size = ::read(info.get(), text, sizeof text - 1);
  if (size <= 0) return O_RDONLY;
  text[size] = '\0';
  const std::string_view lines(text, static_cast<size_t>(size));
  const size_t flags = lines.find("flags:");
  if (flags == std::string_view::npos) return O_RDONLY;
  return static_cast<int>(std::strtol(text + flags + 6, nullptr, 8)) & O_ACCMODE;
}

bool ProcessWrites(int proc_fd, const char* pid, const struct stat& file) {
  const int process_fd = ::openat(proc_fd, pid, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (process_fd < 0) return false;
  const Descriptor process(process_fd);
  DirectoryStream fds = OpenDirectory(::openat(process_fd, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fds) return false;
  const int fds_fd = ::dirfd(fds.get());
  while (const dirent* entry = ::readdir(fds.get())) {
    if (entry->d_name[0] == '.') continue;
    struct stat open_file;
    if (::fstatat(fds_fd, entry->d_name, &open_file, 0) != 0) continue;
    if (open_file.st_dev != file.st_dev || open_file.st_ino != file.st_ino) continue;
    if (AccessMode(process_fd, entry->d_name) != O_RDONLY) return true;
  }
  return false;
}

bool OpenForWritingElsewhere(int fd) {
  struct stat file;
  if (::fstat(fd, &file) != 0) return false;
  const int proc_fd = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (proc_fd < 0) return false;
  DirectoryStream processes = OpenDirectory(proc_fd);
  if (!processes) return false;
  const std::string self = std::to_string(::getpid());
  while (const dirent* entry = ::readdir(processes.get())) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || entry->d_name == self) continue;
    if (ProcessWrites(::dirfd(processes.get()), entry->d_name, file)) return true;
  }
  return false;
}

}  // namespace

bool InUseByAnotherProgram(int fd, const std::string& path) {
  return HasRecordLock(fd, path) || LockFileIsLocked(path) || OpenForWritingElsewhere(fd);
}

}  // namespace vintrel::jet
