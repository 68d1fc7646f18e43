// A pass stopped dead at any point, then run again, loses no database: each one ends up with
// its data under its own name and no scratch file is left.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "compaction/database_list.h"
#include "compaction/run_compaction.h"
#include "copying_platform.h"
#include "scratch_directory.h"
#include "text/utf.h"

namespace vintrel {
namespace {

using testing::CopyingPlatform;
using testing::ListDirectory;
using testing::ReadFile;
using testing::RecordingHost;
using testing::WorkingDirectory;
using testing::WriteFile;

constexpr int kStopped = 77;

std::string Content(std::u16string_view baseName) { return "data of " + ToUtf8(baseName); }

void LayOutSixDatabases() {
  for (auto name : DatabaseList) WriteFile(ToUtf8(name) + ".mdb", Content(name));
  WriteFile("log1.mdb", "left over from an earlier pass");
}

// Runs a pass in a child process that ends itself before platform call `stopBefore`, or half
// way through writing copy number `stopInCopy`. Returns whether it was stopped.
bool RunStoppedPass(int stopBefore, int stopInCopy) {
  const pid_t child = ::fork();
  if (child == 0) {
    int calls = 0;
    int copies = 0;
    CopyingPlatform platform([&](const std::string&) { if (calls++ == stopBefore) ::_exit(kStopped); },
                             [&] { if (copies++ == stopInCopy) ::_exit(kStopped); });
    RecordingHost host(platform);
    RunCompaction(host);
    ::_exit(host.errors.empty() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 1) << "the interrupted pass reported a failure";
  return WEXITSTATUS(status) == kStopped;
}

void ExpectEveryDatabaseWholeAfterAnotherPass() {
  CopyingPlatform platform;
  RecordingHost host(platform);
  RunCompaction(host);
  EXPECT_TRUE(host.errors.empty()) << ToUtf8(host.errors.front());

  std::vector<std::string> expected;
  for (auto name : DatabaseList) {
    const std::string file = ToUtf8(name) + ".mdb";
    EXPECT_EQ(ReadFile(file), Content(name)) << file;
    expected.push_back(file);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ListDirectory(), expected);
}

TEST(CrashSafetyTest, StopBetweenAnyTwoPlatformCalls) {
  int stopBefore = 0;
  for (;; ++stopBefore) {
    SCOPED_TRACE("stopped before platform call " + std::to_string(stopBefore));
    WorkingDirectory directory;
    LayOutSixDatabases();
    const bool stopped = RunStoppedPass(stopBefore, -1);
    ExpectEveryDatabaseWholeAfterAnotherPass();
    if (!stopped || HasFailure()) break;
  }
  // The directory lock, seven calls for each database, one to delete the left-over scratch
  // file, two creations: every one of them was a stopping point, and a pass stopped while
  // holding the lock never kept the next one out.
  EXPECT_EQ(stopBefore, 1 + 6 * 7 + 1 + 2);
}

TEST(CrashSafetyTest, StopWhileACopyIsHalfWritten) {
  for (int copy = 0; copy < 6; ++copy) {
    SCOPED_TRACE("stopped in copy " + std::to_string(copy));
    WorkingDirectory directory;
    LayOutSixDatabases();
    EXPECT_TRUE(RunStoppedPass(-1, copy));
    ExpectEveryDatabaseWholeAfterAnotherPass();
  }
}

}  // namespace
}  // namespace vintrel
