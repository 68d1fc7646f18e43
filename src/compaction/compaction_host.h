// What the compaction needs from the program around it: the three platform object references
// it creates and sets, the log sink and the error box.
#pragma once

#include <memory>
#include <string>

#include "compaction/platform_objects.h"

namespace vintrel {

class CompactionHost {
 public:
  explicit CompactionHost(ObjectFactory& objects) : objects_(objects) {}
  virtual ~CompactionHost() = default;

  CompactionHost(const CompactionHost&) = delete;
  CompactionHost& operator=(const CompactionHost&) = delete;

  // Replaces the log's selection with text, or inserts it at the caret; afterwards the caret
  // stands after the text and is in view. Raises when the log cannot be written.
  virtual void AppendLog(const std::u16string& text) = 0;
  // Shows the description to the user and returns once they have acknowledged it.
  virtual void ReportError(const std::u16string& description) = 0;

  ObjectFactory& objects() const { return objects_; }

  // Empty, or referring to one platform object. The compaction creates engine and fileSystem
  // on first use and sets currentFile; the host releases them.
  std::shared_ptr<Engine> engine;
  std::shared_ptr<FileSystem> fileSystem;
  std::shared_ptr<File> currentFile;

 private:
  ObjectFactory& objects_;
};

}  // namespace vintrel
