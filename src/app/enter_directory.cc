#include "app/enter_directory.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace vintrel {

void EnterDirectory(const char* directory) {
  if (::chdir(directory) != 0) {
    throw std::runtime_error("cannot enter '" + std::string(directory) + "': " + std::strerror(errno));
  }
}

}  // namespace vintrel
