#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "app/enter_directory.h"

namespace vintrel {

void EnterDirectory(const std::string& directory) {
  if (::chdir(directory.c_str()) != 0) {
    throw std::runtime_error("cannot enter '" + directory + "': " + std::strerror(errno));
  }
}

}  // namespace vintrel
