// The engine's whole use of files: owned open files, positioned reads and writes that finish
// what they start, and the one form of error a failed call raises: "Could not <action>
// <subject>: <reason>." Each platform implements it in a folder of its own (posix/, windows/),
// whose native_file.h, chosen by the build, says what an open file and a failed call are there.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "native_file.h"

namespace vintrel::jet {

// Raises JetError "Could not <action> <subject>: <the system's text for error>."; `subject`
// is quoted by the caller ("'/a/b.mdb'", "a scratch file in '/a'").
[[noreturn]] void RaiseFileError(const std::string& action, const std::string& subject, SystemError error);
// The same for a path, quoted.
[[noreturn]] void RaisePathError(const std::string& action, const std::string& path, SystemError error);

// An open file, closed with the object.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(NativeFile fd) : fd_(fd) {}
  ~Descriptor();
  Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  NativeFile get() const { return fd_; }
  bool valid() const { return fd_ != kNoFile; }
  NativeFile Release();
  // Closes now, raising when the close reports an error (a delayed write failed).
  void Close(const std::string& subject);

 private:
  NativeFile fd_ = kNoFile;
};

// Reads exactly out.size() bytes at `offset`; a file that ends first is an error.
void ReadExactly(NativeFile fd, uint64_t offset, std::span<uint8_t> out, const std::string& subject);
// Reads up to out.size() bytes at `offset`, fewer only at the end of the file.
size_t ReadUpTo(NativeFile fd, uint64_t offset, std::span<uint8_t> out, const std::string& subject);
void WriteExactly(NativeFile fd, uint64_t offset, std::span<const uint8_t> bytes, const std::string& subject);
// Makes the file `size` bytes long; bytes added read as zeros.
void SetFileSize(NativeFile fd, uint64_t size, const std::string& subject);
// Starts writing `length` bytes from `offset` (length 0: to the end) to disk without waiting,
// where the system can, so that little is left to wait for when the file is flushed.
void StartWriteBack(NativeFile fd, uint64_t offset, uint64_t length, const std::string& subject);

// `path` made absolute against the current directory, without "." and ".." parts.
std::string FullPath(const std::string& path);
// "/a/b.mdb" -> "/a", "b.mdb" -> ".", "/b.mdb" -> "/".
std::string DirectoryOf(const std::string& path);
// True when anything has that name, a dangling symbolic link included.
bool NameTaken(const std::string& path);
// A new file in `directory` that has no name, or one nobody else opens, gone when it is closed.
Descriptor CreateScratchFile(const std::string& directory);
// Opens `path` read-only, for the page source and the source lock alike, and sets `size`.
// Raises JetError "Could not find file '<path>'." when nothing is there, and "Could not open
// '<path>': not a regular file." for a directory, FIFO or device.
Descriptor OpenRegularFile(const std::string& path, uint64_t& size);

}  // namespace vintrel::jet
