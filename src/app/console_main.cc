// vintrel-console: one compaction pass over the current directory (or the one -C names),
// without a window. Exit statuses: 0 the pass ended, 1 it stopped at a failure, 2 it never
// started (a command line it does not understand, or a directory it cannot enter).
#include <getopt.h>

#include <ostream>
#include <stdexcept>
#include <string>

#include "app/console_system.h"
#include "app/enter_directory.h"

namespace vintrel::console {
namespace {

constexpr char kUsage[] =
    "Usage: vintrel-console [-C DIR] [--salvage]\n"
    "Compacts the Jet databases lift.mdb, log.mdb, prof.mdb, rang_lift.mdb, rang_log.mdb and\n"
    "rang_prof.mdb in place, in the current directory, and prints one line for each.\n"
    "What a compaction repairs, and what it cannot copy, is said on standard error.\n"
    "\n"
    "  -C, --directory=DIR  compact the databases in DIR instead\n"
    "      --salvage        compact a damaged database whose rows cannot all be read: the\n"
    "                       copy holds every row that can be, its table MSysCompactError\n"
    "                       lists the others, and the original is kept as NAME.damaged.mdb\n"
    "  -h, --help           print this help and exit\n"
    "      --version        print the version and exit\n"
    "\n"
    "Exit status: 0 when the pass ended, 1 when it stopped at a failure (described on\n"
    "standard error), 2 when it never started (a wrong command line, or DIR cannot be\n"
    "entered).\n"
    "\n"
    "Text is written in UTF-8; to a console window on Windows, as the window's Unicode text.\n"
    "--salvage is not offered on Windows.\n";

constexpr int kVersionOption = 256;
constexpr int kSalvageOption = 257;

constexpr option kOptions[] = {
    {"directory", required_argument, nullptr, 'C'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersionOption},
    {"salvage", no_argument, nullptr, kSalvageOption},
    {nullptr, 0, nullptr, 0},
};

int WrongCommandLine() {
  Errors() << kUsage;
  return 2;
}

}  // namespace

int ConsoleMain(int argc, char** argv) {
  const char* directory = nullptr;
  bool salvage = false;
  // getopt_long reports an unknown option or a missing DIR itself, in its usual words.
  for (int option; (option = getopt_long(argc, argv, "C:h", kOptions, nullptr)) != -1;) {
    switch (option) {
      case 'C':
        directory = optarg;
        break;
      case 'h':
        Output() << kUsage;
        return 0;
      case kSalvageOption:
        if (!CanSalvage()) {
          Errors() << "vintrel-console: --salvage is not offered on this system\n";
          return WrongCommandLine();
        }
        salvage = true;
        break;
      case kVersionOption:
        Output() << "vintrel-console " VINTREL_VERSION "\n";
        return 0;
      default:
        return WrongCommandLine();
    }
  }
  if (optind < argc) {
    Errors() << "vintrel-console: unexpected argument '" << argv[optind] << "'\n";
    return WrongCommandLine();
  }
  if (directory != nullptr) {
    try {
      EnterDirectory(directory);
    } catch (const std::runtime_error& error) {
      Errors() << "vintrel-console: " << error.what() << "\n";
      return 2;
    }
  }
  return RunPass(salvage, Output(), Errors()) ? 1 : 0;
}

}  // namespace vintrel::console
