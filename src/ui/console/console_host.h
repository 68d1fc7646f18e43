// A host for machines without a display: entries go to one stream as written, the failure's
// description to another.
#pragma once

#include <ostream>

#include "compaction/compaction_host.h"

namespace vintrel {

class ConsoleHost final : public CompactionHost {
 public:
  ConsoleHost(ObjectFactory& objects, std::ostream& log, std::ostream& errors)
      : CompactionHost(objects), log_(log), errors_(errors) {}
  // Releases the engine, then the file system, as the window does when it closes.
  ~ConsoleHost() override;

  void AppendLog(const std::u16string& text) override;
  void ReportError(const std::u16string& description) override;

  bool failed() const { return failed_; }

 private:
  std::ostream& log_;
  std::ostream& errors_;
  bool failed_ = false;
};

}  // namespace vintrel
