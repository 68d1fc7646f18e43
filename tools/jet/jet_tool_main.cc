// vintrel-jet: inspects Jet databases with the engine's own reader.
//   vintrel-jet dump <file>   prints the database as canonical JSON
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "jet/database.h"
#include "tools/jet/json_dump.h"

namespace {

int Usage() {
  std::cerr << "usage: vintrel-jet dump <file.mdb>\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]) != "dump") return Usage();
  std::ios::sync_with_stdio(false);
  try {
    auto database = vintrel::jet::Database::Open(argv[2]);
    vintrel::jet::WriteDump(*database, std::cout);
    std::cout.flush();
    if (!std::cout) {
      std::cerr << "Could not write the dump to standard output.\n";
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << error.what() << "\n";
    return 1;
  }
}
