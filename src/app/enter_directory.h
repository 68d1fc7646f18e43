// The folder a program's command line names (vintrel-console -C DIR, vintrel DIR) becomes the
// current one before the pass, which works on the current folder.
#pragma once

namespace vintrel {

// Makes `directory` the current folder. Throws std::runtime_error with the description both
// programs give, "cannot enter '<directory>': <the system's reason>".
void EnterDirectory(const char* directory);

}  // namespace vintrel
