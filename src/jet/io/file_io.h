// The engine's whole use of file descriptors: owned descriptors, positioned reads and writes
// that finish what they start (short transfers and EINTR retried), and the one form of
// error a failed call raises: "Could not <action> <subject>: <reason>."
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vintrel::jet {

// Raises JetError "Could not <action> <subject>: <strerror(error)>."; `subject` is quoted
// by the caller ("'/a/b.mdb'", "a scratch file in '/a'").
[[noreturn]] void RaiseFileError(const std::string& action, const std::string& subject, int error);
// The same for a path, quoted.
[[noreturn]] void RaisePathError(const std::string& action, const std::string& path, int error);

// An open descriptor, closed with the object.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor();
  Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release();
  // Closes now, raising when the close reports an error (a delayed write failed).
  void Close(const std::string& subject);

 private:
  int fd_ = -1;
};

// Reads exactly out.size() bytes at `offset`; a file that ends first is an error.
void ReadExactly(int fd, uint64_t offset, std::span<uint8_t> out, const std::string& subject);
// Reads up to out.size() bytes at `offset`, fewer only at the end of the file.
size_t ReadUpTo(int fd, uint64_t offset, std::span<uint8_t> out, const std::string& subject);
void WriteExactly(int fd, uint64_t offset, std::span<const uint8_t> bytes, const std::string& subject);

// "/a/b.mdb" -> "/a", "b.mdb" -> ".", "/b.mdb" -> "/".
std::string DirectoryOf(const std::string& path);
// Flushes the directory entry of `path` (after it was created or renamed).
void SyncDirectoryOf(const std::string& path);
// A new file in `directory` that has no name, gone when its descriptor is closed.
Descriptor CreateScratchFile(const std::string& directory);

}  // namespace vintrel::jet
