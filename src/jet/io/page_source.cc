#include "jet/io/page_source.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "jet/io/file_io.h"
#include "jet/jet_error.h"

namespace vintrel::jet {
namespace {

class FileSource final : public PageSource {
 public:
  FileSource(Descriptor file, uint64_t size, const std::string& path)
      : file_(std::move(file)), size_(size), subject_("'" + path + "'") {}

  uint64_t size() const override { return size_; }

  void Read(uint64_t offset, std::span<uint8_t> out) const override {
    ReadExactly(file_.get(), offset, out, subject_);
  }

 private:
  Descriptor file_;
  uint64_t size_;
  std::string subject_;
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
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) {
      throw JetError("Could not find file '" + path + "'.");
    }
    RaisePathError("open", path, errno);
  }
  struct stat info;
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw JetError("Could not open '" + path + "': not a regular file.");
  }
  return std::make_unique<FileSource>(std::move(file), static_cast<uint64_t>(info.st_size), path);
}

std::unique_ptr<PageSource> MemorySource(std::vector<uint8_t> bytes) {
  return std::make_unique<BytesSource>(std::move(bytes));
}

}  // namespace vintrel::jet
