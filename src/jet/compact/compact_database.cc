#include "jet/compact/compact_database.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "jet/coding.h"
#include "jet/compact/content_digest.h"
#include "jet/compact/renumbering.h"
#include "jet/compact/table_copier.h"
#include "jet/jet_error.h"
#include "jet/pages/data_page_builder.h"
#include "jet/pages/usage_map_builder.h"
#include "jet/rc4.h"

namespace vintrel::jet {
namespace {
// Page 1 holds the global map of free pages, then a second map Jet leaves empty.
constexpr uint32_t kGlobalMapPage = 1;

[[noreturn]] void FailErrno(const std::string& what, const std::string& path) {
  throw JetError("Could not " + what + " '" + path + "': " + std::strerror(errno) + ".");
}

// The source's definition page with the database key cleared, since the copy's pages
// are stored plain.
std::vector<uint8_t> DefinitionPage(Database& source) {
  const Format& format = source.format();
  PageRef page = source.pages().Get(0, "database definition");
  ByteView view = page->View("database definition");
  std::vector<uint8_t> bytes(view.bytes().begin(), view.bytes().end());
  if (source.header().database_key != 0) {
    constexpr uint8_t kMaskKey[4] = {kHeaderMaskKey & 0xFF, (kHeaderMaskKey >> 8) & 0xFF,
                                     (kHeaderMaskKey >> 16) & 0xFF, kHeaderMaskKey >> 24};
    std::span<uint8_t> masked = std::span(bytes).subspan(kMaskedAreaOffset, format.masked_area_size);
    ApplyRc4(kMaskKey, masked);
    PutU32(bytes, kDatabaseKeyOffset, 0);
    ApplyRc4(kMaskKey, masked);
  }
  return bytes;
}

void WriteGlobalMap(const Format& format, PageOutput& output) {
  DataPageBuilder page(format, kGlobalMapPage, kGlobalMapPage);
  page.Add(BuildGlobalFreeMap(format, output));
  page.Add(std::vector<uint8_t>(kUsageMapRowSize, 0));
  output.Write(kGlobalMapPage, page.bytes());
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// The copy while it is written and checked. Where the file system allows, it has no name
// until it is published, so that a process killed half way leaves nothing behind; elsewhere
// it is a hidden-suffix file beside the destination, removed on every failure.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& destination) {
    fd_ = ::open(DirectoryOf(destination).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd_ >= 0 && ::access("/proc/self/fd", X_OK) == 0) {
      path_ = "/proc/self/fd/" + std::to_string(fd_);
      unnamed_ = true;
      return;
    }
    if (fd_ >= 0) ::close(fd_);
    path_ = destination + ".XXXXXX";
    fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
    if (fd_ < 0) FailErrno("create a file beside", destination);
    // mkostemp makes the file private; the database gets the mode a new file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd_, 0666 & ~mask) != 0) {
      const int error = errno;
      ::unlink(path_.c_str());
      ::close(fd_);
      errno = error;
      FailErrno("create a file beside", destination);
    }
  }
  ~TemporaryFile() {
    if (!unnamed_ && !path_.empty()) ::unlink(path_.c_str());
    if (fd_ >= 0) ::close(fd_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // A path that opens the file for reading back, while this object lives.
  const std::string& path() const { return path_; }
  // A descriptor for the writer to own; the file itself stays open here until published.
  int WriterDescriptor() {
    const int writer = ::dup(fd_);
    if (writer < 0) FailErrno("write", path_);
    return writer;
  }
  // Gives the file its final name without replacing anything there.
  void Publish(const std::string& destination) {
    const int linked = unnamed_ ? ::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, destination.c_str(), AT_SYMLINK_FOLLOW)
                                : ::link(path_.c_str(), destination.c_str());
    if (linked != 0) {
      if (errno == EEXIST) throw JetError("Database already exists.");
      FailErrno("name", destination);
    }
    if (!unnamed_) ::unlink(path_.c_str());
    path_.clear();
    unnamed_ = false;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool unnamed_ = false;
};

// A read-only descriptor of the source holding an exclusive advisory lock.
class SourceLock {
 public:
  explicit SourceLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
      if (errno == ENOENT || errno == ENOTDIR) throw JetError("Could not find file '" + path + "'.");
      FailErrno("open", path);
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd_);
      if (errno == EWOULDBLOCK) throw JetError("Could not use '" + path + "'; file already in use.");
      FailErrno("lock", path);
    }
  }
  ~SourceLock() { ::close(fd_); }
  SourceLock(const SourceLock&) = delete;
  SourceLock& operator=(const SourceLock&) = delete;

 private:
  int fd_;
};

void SyncDirectoryOf(const std::string& path) {
  int fd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) FailErrno("open the directory of", path);
  int result = ::fsync(fd);
  ::close(fd);
  if (result != 0) FailErrno("flush the directory of", path);
}

}  // namespace

CompactionFigures WriteCompactedCopy(Database& source, PageOutput& output) {
  const Format& format = source.format();
  CompactionFigures figures;
  figures.source_pages = source.pages().page_count();

  const std::vector<CatalogEntry> catalog = source.ReadCatalog();
  Renumbering renumbering(catalog);
  output.Reserve(0);
  output.Reserve(kGlobalMapPage);
  for (const auto& [old_page, new_page] : renumbering.pages()) output.Reserve(new_page);
  std::map<uint32_t, std::u16string> names;
  for (const CatalogEntry& entry : catalog) {
    if (entry.type == kCatalogLocalTable) names[entry.definition_page()] = entry.name;
  }

  output.Write(0, DefinitionPage(source));
  MapRows maps(format, output);
  for (const auto& [old_page, new_page] : renumbering.pages()) {
    TableToCopy table{names[old_page], old_page, new_page};
    CopiedTable copied = CopyTable(source, table, renumbering, output, maps);
    figures.rows += copied.rows;
    figures.content[table.name] = copied.digest;
  }
  maps.Flush();
  WriteGlobalMap(format, output);
  figures.copy_pages = output.page_count();
  output.Finish();
  return figures;
}

CompactionFigures CompactDatabase(const std::string& source_path,
                                  const std::string& destination_path) {
  SourceLock lock(source_path);
  struct stat existing;
  if (::lstat(destination_path.c_str(), &existing) == 0) throw JetError("Database already exists.");
  std::unique_ptr<Database> source = Database::Open(source_path);
  if (source->format().version != Version::kJet4) {
    throw JetError("Converting the Jet 3 database '" + source_path +
                   "' to the Jet 4 format is not supported.");
  }
  TemporaryFile temporary(destination_path);
  CompactionFigures figures;
  {
    PageOutput output(temporary.WriterDescriptor(), destination_path, source->format().page_size);
    figures = WriteCompactedCopy(*source, output);
  }
  std::unique_ptr<Database> copy = Database::Open(temporary.path());
  RequireSameContent(figures.content, DigestContent(*copy), source_path);
  temporary.Publish(destination_path);
  SyncDirectoryOf(destination_path);
  return figures;
}

}  // namespace vintrel::jet
