// Finding the shared corpus of databases made by other programs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

// A test name for a parameter that is a fixture's path: its file name without extension.
inline std::string FileTestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = std::filesystem::path(info.param).stem().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

#define VINTREL_REQUIRE_FIXTURES()                                                  \
  if (!std::filesystem::is_directory(::vintrel::jet::testing::FixturesRoot())) {   \
    GTEST_SKIP() << "the fixture corpus " << VINTREL_FIXTURES << " is absent";     \
  }

}  // namespace vintrel::jet::testing
