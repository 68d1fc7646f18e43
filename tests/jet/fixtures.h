// Finding the shared corpus of databases made by other programs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace vintrel::jet::testing {

inline std::filesystem::path FixturesRoot() { return VINTREL_FIXTURES; }

// Every .mdb file in the named corpus folders, sorted; empty when the corpus is absent.
inline std::vector<std::string> FixtureFiles(std::initializer_list<const char*> folders) {
  std::vector<std::string> files;
  for (const char* folder : folders) {
    std::filesystem::path dir = FixturesRoot() / folder;
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().extension() == ".mdb") files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

#define VINTREL_REQUIRE_FIXTURES()                                                  \
  if (!std::filesystem::is_directory(::vintrel::jet::testing::FixturesRoot())) {   \
    GTEST_SKIP() << "the fixture corpus " << VINTREL_FIXTURES << " is absent";     \
  }

}  // namespace vintrel::jet::testing
