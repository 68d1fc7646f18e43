// What the console front-end (console_main.cc) asks of the system it runs on, one file for each
// (console_posix.cc, console_windows.cc), which also holds the program's entry and hands its
// command line to ConsoleMain in UTF-8.
#pragma once

#include <ostream>
#include <string>

namespace vintrel::console {

int ConsoleMain(int argc, char** argv);

// Standard output and standard error, taking UTF-8.
std::ostream& Output();
std::ostream& Errors();
// Whether this system's engine can salvage (--salvage).
bool CanSalvage();
// One pass over the current directory with the system's platform objects, entries to `log`,
// the failure and what the engine reports to `errors`; true when it stopped at a failure.
bool RunPass(bool salvage, std::ostream& log, std::ostream& errors);

}  // namespace vintrel::console
