// vintrel-console: one compaction pass over the current directory, without a window.
#include <iostream>

#include "compaction/run_compaction.h"
#include "platform/posix/posix_object_factory.h"
#include "ui/console/console_host.h"

int main() {
  vintrel::PosixObjectFactory objects;
  vintrel::ConsoleHost host(objects, std::cout, std::cerr);
  vintrel::RunCompaction(host);
  return host.failed() ? 1 : 0;
}
