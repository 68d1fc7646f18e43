// The folder a program's command line names (vintrel-console -C DIR, vintrel DIR) becomes the
// current one before the pass, which works on the current folder; one implementation for each
// system (enter_directory_posix.cc, enter_directory_windows.cc).
#pragma once

#include <string>

namespace vintrel {

// Makes `directory` (UTF-8) the current folder. Throws std::runtime_error with the description
// every program gives, "cannot enter '<directory>': <the system's reason>".
void EnterDirectory(const std::string& directory);

}  // namespace vintrel
