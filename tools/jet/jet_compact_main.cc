// vintrel-jet-compact <source> <destination>: compacts a database into a new Jet 4 file
// as the engine does for the program, and prints what it did.
#include <cstdio>
#include <string>

#include "jet/compact/compact_database.h"
#include "jet/jet_error.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vintrel-jet-compact <source.mdb> <destination.mdb>\n");
    return 2;
  }
  try {
    vintrel::jet::CompactionFigures figures = vintrel::jet::CompactDatabase(argv[1], argv[2]);
    for (const std::string& repair : figures.repairs) std::fprintf(stderr, "%s: %s\n", argv[1], repair.c_str());
    std::printf("%s: %u pages, %llu rows; %s: %u pages\n", argv[1], figures.source_pages,
                static_cast<unsigned long long>(figures.rows), argv[2], figures.copy_pages);
    return 0;
  } catch (const vintrel::jet::JetError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
