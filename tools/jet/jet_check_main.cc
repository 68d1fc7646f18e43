// vintrel-jet-check <file>: checks the structure of a Jet 4 database (see
// jet/write/integrity_check.h), printing each fault; exits 1 on any fault, 2 when the file
// cannot be read at all.
#include <cstdio>

#include "jet/check/integrity_check.h"
#include "jet/database.h"
#include "jet/jet_error.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vintrel-jet-check <file.mdb>\n");
    return 2;
  }
  try {
    auto database = vintrel::jet::Database::Open(argv[1]);
    std::vector<std::string> faults = vintrel::jet::CheckIntegrity(*database);
    for (const std::string& fault : faults) std::printf("%s\n", fault.c_str());
    if (faults.empty()) std::printf("%s: sound\n", argv[1]);
    return faults.empty() ? 0 : 1;
  } catch (const vintrel::jet::JetError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
}
