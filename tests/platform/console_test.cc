// The console front-end as a user runs it: in the current directory, with no arguments or
// with the options of its command line.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "platform/posix/posix_directory_lock.h"
#include "scratch_directory.h"

namespace vintrel {
namespace {

using testing::ListDirectory;
using testing::ReadFile;
using testing::WorkingDirectory;
using testing::WriteFile;

struct Outcome {
  int status;
  std::string output;
  bool operator==(const Outcome&) const = default;
};

// `tail` follows the program on the shell's command line: its arguments and redirections.
Outcome RunConsole(const std::string& tail = "2>&1") {
  FILE* pipe = ::popen((VINTREL_CONSOLE " " + tail).c_str(), "r");
  std::string output;
  std::array<char, 256> buffer;
  size_t read;
  while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), read);
  const int status = ::pclose(pipe);
  return {WEXITSTATUS(status), output};
}

TEST(ConsoleTest, EmptyDirectoryPrintsSixNotFoundEntriesAndCreatesNothing) {
  WorkingDirectory directory;
  const Outcome outcome = RunConsole();

  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.output,
            "lift.mdb not found\r\nlog.mdb not found\r\nprof.mdb not found\r\n"
            "rang_lift.mdb not found\r\nrang_log.mdb not found\r\nrang_prof.mdb not found\r\n");
  EXPECT_TRUE(ListDirectory().empty());
}

TEST(ConsoleTest, LoneScratchFileBecomesTheDatabaseWithTheSameBytes) {
  WorkingDirectory directory;
  const std::string bytes("\x00\x01\x00\x00Standard Jet DB\xff\r\n", 22);
  WriteFile("lift1.mdb", bytes);

  const Outcome outcome = RunConsole();

  EXPECT_EQ(outcome.status, 0);
  EXPECT_TRUE(outcome.output.starts_with("lift.mdb not found\r\nlog.mdb not found\r\n"));
  EXPECT_EQ(ListDirectory(), std::vector<std::string>{"lift.mdb"});
  EXPECT_EQ(ReadFile("lift.mdb"), bytes);
}

TEST(ConsoleTest, FailureGoesToStandardErrorWithExitStatusOne) {
  WorkingDirectory directory;
  WriteFile("lift.mdb", "data");

  const Outcome outcome = RunConsole();

  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.output, "Unrecognized database format '" +
                                (std::filesystem::current_path() / "lift.mdb").string() + "'.\n");
  EXPECT_EQ(ReadFile("lift.mdb"), "data");
}

// The moment that lost a database: another copy has published lift1.mdb and still works on
// lift.mdb. This one must not take lift1.mdb for a left-over.
TEST(ConsoleTest, SecondCopyInTheSameFolderChangesNothingAndSaysWhy) {
  WorkingDirectory directory;
  WriteFile("lift.mdb", "data");
  WriteFile("lift1.mdb", "compacted");
  const PosixDirectoryLock firstCopy;

  const Outcome outcome = RunConsole();

  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.output, "Another compaction is running in the folder '" +
                                std::filesystem::current_path().string() + "'.\n");
  EXPECT_EQ(ReadFile("lift.mdb"), "data");
  EXPECT_EQ(ReadFile("lift1.mdb"), "compacted");
}

// A scratch file the pass would rename: its staying put shows that no pass ran.
TEST(ConsoleTest, HelpAndVersionGoToStandardOutputAndRunNoPass) {
  WorkingDirectory directory;
  WriteFile("lift1.mdb", "copy");

  const Outcome help = RunConsole("--help 2>/dev/null");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.output.starts_with("Usage: vintrel-console [-C DIR] [--salvage]\n")) << help.output;
  EXPECT_EQ(RunConsole("-h 2>/dev/null").output, help.output);

  const Outcome version = RunConsole("--version 2>/dev/null");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "vintrel-console " VINTREL_VERSION "\n");

  EXPECT_EQ(ListDirectory(), std::vector<std::string>{"lift1.mdb"});
}

TEST(ConsoleTest, WrongCommandLineOrMissingDirectoryGivesStatusTwoAndRunsNoPass) {
  WorkingDirectory directory;
  WriteFile("lift1.mdb", "copy");

  for (const char* arguments : {"--hepl", "-x", "extra", "-C", "-C missing"}) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(RunConsole(std::string(arguments) + " 2>/dev/null"), (Outcome{2, ""}));
  }
  const std::string errors = RunConsole("--hepl 2>&1 >/dev/null").output;
  EXPECT_NE(errors.find("Usage: vintrel-console"), std::string::npos) << errors;
  EXPECT_EQ(ListDirectory(), std::vector<std::string>{"lift1.mdb"});
}

TEST(ConsoleTest, DirectoryOptionRunsThePassThereAndLeavesTheCurrentOneAlone) {
  WorkingDirectory directory;
  WriteFile("lift1.mdb", "here");
  std::filesystem::create_directory("other folder");
  WriteFile("other folder/lift1.mdb", "there");

  const Outcome outcome = RunConsole("--directory 'other folder' 2>&1");

  EXPECT_EQ(outcome.status, 0);
  EXPECT_TRUE(outcome.output.starts_with("lift.mdb not found\r\n")) << outcome.output;
  EXPECT_EQ(ReadFile("other folder/lift.mdb"), "there");
  EXPECT_FALSE(std::filesystem::exists("other folder/lift1.mdb"));
  EXPECT_EQ(ListDirectory(), (std::vector<std::string>{"lift1.mdb", "other folder"}));
}

// A database that loses rows: refused, then, salvaging, replaced by its copy while the damaged
// original is kept under a name of its own that never replaces a file, and every repair and
// loss said on standard error.
TEST(ConsoleTest, SalvageKeepsTheDamagedOriginalBesideItsCopy) {
  if (!std::filesystem::is_directory(VINTREL_FIXTURES)) GTEST_SKIP() << "the fixture corpus is absent";
  WorkingDirectory directory;
  std::string damaged = ReadFile(std::string(VINTREL_FIXTURES) + "/jet4/indexTestV2000.mdb");
  std::fill_n(damaged.begin() + 62 * 4096, 4096, '\0');  // all of Table1's rows
  WriteFile("lift.mdb", damaged);
  WriteFile("lift.damaged.mdb", "an earlier one");

  const Outcome refused = RunConsole("2>&1 >/dev/null");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("is damaged: table Table1, data page 62"), std::string::npos) << refused.output;
  EXPECT_EQ(ReadFile("lift.mdb"), damaged);

  const Outcome salvaged = RunConsole("--salvage 2>&1 >/dev/null");
  EXPECT_EQ(salvaged.status, 0);
  EXPECT_NE(salvaged.output.find("lift.mdb: lost: table Table1, data page 62"), std::string::npos) << salvaged.output;
  EXPECT_NE(salvaged.output.find("lift.mdb: the damaged database is kept as lift.damaged-2.mdb"), std::string::npos);
  EXPECT_EQ(ListDirectory(), (std::vector<std::string>{"lift.damaged-2.mdb", "lift.damaged.mdb", "lift.mdb"}));
  EXPECT_EQ(ReadFile("lift.damaged-2.mdb"), damaged);
  EXPECT_EQ(ReadFile("lift.damaged.mdb"), "an earlier one");
}

}  // namespace
}  // namespace vintrel
