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
