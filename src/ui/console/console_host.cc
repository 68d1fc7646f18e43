// Each entry is flushed as it is written, so what was done is on the stream before the next
// database begins, and a failed write stops the pass at the entry it lost. ReportError records
// the failure, so the console's main can turn it into the exit status.
#include "ui/console/console_host.h"

#include "compaction/raised_error.h"
#include "text/utf.h"

namespace vintrel {

ConsoleHost::~ConsoleHost() {
  engine.reset();
  fileSystem.reset();
}

void ConsoleHost::AppendLog(const std::u16string& text) {
  log_ << ToUtf8(text) << std::flush;
  if (!log_) throw RaisedError(u"The log could not be written");
}

void ConsoleHost::ReportError(const std::u16string& description) {
  failed_ = true;
  errors_ << ToUtf8(description) << std::endl;
}

}  // namespace vintrel
