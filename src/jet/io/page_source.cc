#include "jet/io/page_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

class FileSource final : public PageSource {
 public:
  FileSource(int fd, uint64_t size, std::string path) : fd_(fd), size_(size), path_(path) {}
  ~FileSource() override { ::close(fd_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  uint64_t size() const override { return size_; }

  void Read(uint64_t offset, std::span<uint8_t> out) const override {
    size_t done = 0;
    while (done < out.size()) {
      ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                          static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        throw JetError("Could not read '" + path_ + "': " +
                       (n < 0 ? std::strerror(errno) : "the file ended early") + ".");
      }
      done += static_cast<size_t>(n);
    }
  }

 private:
  int fd_;
  uint64_t size_;
  std::string path_;
};

class BytesSource final : public PageSource {
 public:
  explicit BytesSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  uint64_t size() const override { return bytes_.size(); }
  void Read(uint64_t offset, std::span<uint8_t> out) const override {
    std::memcpy(out.data(), bytes_.data() + offset, out.size());
  }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

std::unique_ptr<PageSource> OpenFileSource(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      throw JetError("Could not find file '" + path + "'.");
    }
    throw JetError("Could not open '" + path + "': " + std::strerror(errno) + ".");
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw JetError("Could not open '" + path + "': not a regular file.");
  }
  return std::make_unique<FileSource>(fd, static_cast<uint64_t>(info.st_size), path);
}

std::unique_ptr<PageSource> MemorySource(std::vector<uint8_t> bytes) {
  return std::make_unique<BytesSource>(std::move(bytes));
}

}  // namespace vintrel::jet
