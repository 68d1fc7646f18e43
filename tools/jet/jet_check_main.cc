// vintrel-jet-check <file>: checks the structure of a Jet 3 or Jet 4 database (see
// jet/check/integrity_check.h), printing each fault with what a compaction does about it,
// each note, and a verdict; exits 1 on any fault, 0 when there are only notes (what Jet
// leaves in sound files), 2 when the file cannot be read at all.
#include <cstdio>

#include "jet/check/integrity_check.h"
#include "jet/database.h"
#include "jet/jet_error.h"

namespace {

using vintrel::jet::Remedy;

const char* Label(Remedy remedy) {
  switch (remedy) {
    case Remedy::kRepaired: return "repaired by a compaction";
    case Remedy::kRowsLost: return "rows lost, salvage only";
    case Remedy::kRefused: return "refused by a compaction";
  }
  return "fault";
}

const char* Verdict(Remedy worst) {
  switch (worst) {
    case Remedy::kRepaired: return "damaged; a compaction repairs every fault";
    case Remedy::kRowsLost: return "damaged; rows are lost, only a salvage copies the rest";
    case Remedy::kRefused: return "damaged; a compaction refuses it";
  }
  return "damaged";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vintrel-jet-check <file.mdb>\n");
    return 2;
  }
  try {
    auto database = vintrel::jet::Database::Open(argv[1]);
    const vintrel::jet::IntegrityReport report = vintrel::jet::CheckIntegrity(*database);
    for (const vintrel::jet::Fault& fault : report.faults) {
      std::printf("%s: %s\n", Label(fault.remedy), fault.text.c_str());
    }
    for (const std::string& note : report.notes) std::printf("note: %s\n", note.c_str());
    std::printf("%s: %s\n", argv[1], report.sound() ? "sound" : Verdict(report.worst()));
    return report.sound() ? 0 : 1;
  } catch (const vintrel::jet::JetError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
}
