// The console front-end in a directory of six real databases, Jet 4 or Jet 3: each is
// replaced by its compacted Jet 4 copy, which the independent readers (mdb-reader, mdbtools)
// read with the original content.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "scratch_directory.h"

namespace vintrel {
namespace {

using testing::ListDirectory;
using testing::ReadFile;
using testing::WorkingDirectory;

namespace fs = std::filesystem;

// Each database of the pass with the corpus file it starts as.
using Databases = std::array<std::pair<const char*, const char*>, 6>;
const Databases kJet4Databases = {{
    {"lift.mdb", "delTestV2000.mdb"},
    {"log.mdb", "indexTestV2000.mdb"},
    {"prof.mdb", "queryTestV2000.mdb"},
    {"rang_lift.mdb", "overflowTestV2000.mdb"},
    {"rang_log.mdb", "testV2000.mdb"},
    {"rang_prof.mdb", "compIndexTestV2000.mdb"},
}};
const Databases kJet3Databases = {{
    {"lift.mdb", "delTestV1997.mdb"},
    {"log.mdb", "indexTestV1997.mdb"},
    {"prof.mdb", "testIndexCodesV1997.mdb"},
    {"rang_lift.mdb", "overflowTestV1997.mdb"},
    {"rang_log.mdb", "testV1997.mdb"},
    {"rang_prof.mdb", "compIndexTestV1997.mdb"},
}};

std::string RunCommand(const std::string& command, int& status) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  std::string output;
  std::array<char, 256> buffer;
  size_t read;
  while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), read);
  status = WEXITSTATUS(::pclose(pipe));
  return output;
}

void ExpectSixCompactedCopies(const char* folder, const Databases& databases) {
  const fs::path corpus = fs::path(VINTREL_FIXTURES) / folder;
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "the fixture corpus " << VINTREL_FIXTURES << " is absent";
  WorkingDirectory directory;
  for (const auto& [name, fixture] : databases) {
    fs::copy_file(corpus / fixture, name);
    fs::permissions(name, fs::perms::owner_write, fs::perm_options::add);  // the corpus is read-only
  }

  int status = 0;
  const std::string output = RunCommand(VINTREL_CONSOLE, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output,
            "lift.mdb ok\r\nlog.mdb ok\r\nprof.mdb ok\r\n"
            "rang_lift.mdb ok\r\nrang_log.mdb ok\r\nrang_prof.mdb ok\r\n");
  EXPECT_EQ(ListDirectory(), (std::vector<std::string>{"lift.mdb", "log.mdb", "prof.mdb", "rang_lift.mdb",
                                                       "rang_log.mdb", "rang_prof.mdb"}));

  const bool readers = std::system("command -v mdb-schema >/dev/null 2>&1") == 0 &&
                       fs::exists(fs::path(VINTREL_ORACLE_MODULES) / "mdb-reader");
  for (const auto& [name, fixture] : databases) {
    const std::string copy = ReadFile(name);
    ASSERT_GT(copy.size(), 0x14u);
    EXPECT_EQ(copy[0x14], '\x01') << name << " is in the Jet 4 format";
    // A Jet 3 source's copy has pages twice the size.
    if (ReadFile((corpus / fixture).string())[0x14] == '\x01') {
      EXPECT_LE(copy.size(), fs::file_size(corpus / fixture)) << name;
    }
    if (!readers) continue;
    const std::string compare = std::string("TZ=UTC node '") + VINTREL_COMPARE_COPY + "' '" +
                                (corpus / fixture).string() + "' '" + name + "'";
    const std::string verdict = RunCommand(compare, status);
    EXPECT_EQ(status, 0) << name << ": " << verdict;
  }
  if (!readers) GTEST_SKIP() << "mdbtools or mdb-reader is not installed; compared the format only";
}

TEST(NativeCompactionEndToEndTest, SixDatabasesBecomeTheirCompactedCopies) {
  ExpectSixCompactedCopies("jet4", kJet4Databases);
}

TEST(NativeCompactionEndToEndTest, SixJet3DatabasesBecomeJet4Copies) {
  ExpectSixCompactedCopies("jet3", kJet3Databases);
}

}  // namespace
}  // namespace vintrel
