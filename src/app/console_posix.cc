#include <iostream>

#include "app/console_system.h"
#include "compaction/run_compaction.h"
#include "platform/posix/posix_object_factory.h"
#include "ui/console/console_host.h"

namespace vintrel::console {

std::ostream& Output() { return std::cout; }
std::ostream& Errors() { return std::cerr; }

bool CanSalvage() { return true; }

bool RunPass(bool salvage, std::ostream& log, std::ostream& errors) {
  PosixObjectFactory objects(salvage, [&errors](const std::string& line) { errors << line << "\n"; });
  ConsoleHost host(objects, log, errors);
  RunCompaction(host);
  return host.failed();
}

}  // namespace vintrel::console

int main(int argc, char** argv) { return vintrel::console::ConsoleMain(argc, argv); }
