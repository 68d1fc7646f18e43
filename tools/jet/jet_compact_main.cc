// vintrel-jet-compact [--salvage] <source> <destination>: compacts a database into a new Jet 4
// file as the engine does for the program, and prints what it did: the figures on standard
// output, each repair and each loss on standard error.
#include <cstdio>
#include <cstring>
#include <string>

#include "jet/compact/compact_database.h"
#include "jet/jet_error.h"

int main(int argc, char** argv) {
  vintrel::jet::CompactionOptions options;
  const bool salvage = argc == 4 && std::strcmp(argv[1], "--salvage") == 0;
  if (argc != 3 && !salvage) {
    std::fprintf(stderr, "usage: vintrel-jet-compact [--salvage] <source.mdb> <destination.mdb>\n");
    return 2;
  }
  options.salvage = salvage;
  const char* source = argv[argc - 2];
  const char* destination = argv[argc - 1];
  try {
    vintrel::jet::CompactionFigures figures = vintrel::jet::CompactDatabase(source, destination, options);
    for (const std::string& repair : figures.repairs) std::fprintf(stderr, "%s: %s\n", source, repair.c_str());
    for (const vintrel::jet::LostRows& lost : figures.losses) {
      std::fprintf(stderr, "%s: lost: %s\n", source, vintrel::jet::DescribeLoss(lost).c_str());
    }
    std::printf("%s: %u pages, %llu rows; %s: %u pages\n", source, figures.source_pages,
                static_cast<unsigned long long>(figures.rows), destination, figures.copy_pages);
    return 0;
  } catch (const vintrel::jet::JetError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
