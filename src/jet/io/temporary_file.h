// The copy while it is written and checked. Where the file system allows, it has no name
// until it is published, so that a process killed half way leaves nothing behind; elsewhere
// it is a hidden-suffix file beside the destination, removed on every failure.
#pragma once

#include <future>
#include <string>

#include "jet/io/file_io.h"

namespace vintrel::jet {

class TemporaryFile {
 public:
  // In the directory of `destination`.
  explicit TemporaryFile(const std::string& destination);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // A path that opens the file for reading back, while this object lives.
  const std::string& path() const { return path_; }
  // A descriptor for the writer to own; the file itself stays open here until published.
  Descriptor WriterDescriptor() const;
  // Starts flushing the file to disk on a thread of its own, once it is written, so that the
  // wait for the disk overlaps the reading back of the copy. `destination` names the file in
  // the error a failed flush raises from Publish.
  void StartFlush(const std::string& destination);
  // Flushes the file to disk (or waits for the flush started), gives it its final name
  // without replacing anything there, and flushes that name. Raises JetError "Database
  // already exists." when the name is taken.
  void Publish(const std::string& destination);

 private:
  std::string path_;
  Descriptor file_;
  bool unnamed_ = false;
  std::future<void> flushing_;  // waited for before the file is closed
};

}  // namespace vintrel::jet
