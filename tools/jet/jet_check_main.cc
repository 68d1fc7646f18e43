// vintrel-jet-check <file>: checks the structure of a Jet 4 database (see
// jet/check/integrity_check.h), printing each fault and each note; exits 1 on any fault,
// 0 when there are only notes (what Jet leaves in sound files), 2 when the file cannot be
// read at all.
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
    const vintrel::jet::IntegrityReport report = vintrel::jet::CheckIntegrity(*database);
    for (const std::string& fault : report.faults) std::printf("%s\n", fault.c_str());
    for (const std::string& note : report.notes) std::printf("note: %s\n", note.c_str());
    if (report.sound()) std::printf("%s: sound\n", argv[1]);
    return report.sound() ? 0 : 1;
  } catch (const vintrel::jet::JetError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
}
