// The pass over the six databases: order, entries, and the one trap.
#include "compaction/run_compaction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "compaction/database_list.h"
#include "scripted_platform.h"

namespace vintrel {
namespace {

using testing::ScriptedHost;
using testing::ScriptedPlatform;

constexpr char16_t kAllSix[] =
    u"lift.mdb ok\r\nlog.mdb ok\r\nprof.mdb ok\r\nrang_lift.mdb ok\r\nrang_log.mdb ok\r\n"
    u"rang_prof.mdb ok\r\n";

void AddAllSix(ScriptedPlatform& platform) {
  for (auto name : DatabaseList) platform.files[std::u16string(name) + u".mdb"] = {"data"};
}

TEST(RunCompactionTest, CompactsAllSixInListOrder) {
  ScriptedPlatform platform;
  AddAllSix(platform);
  ScriptedHost host(platform);

  RunCompaction(host);

  EXPECT_EQ(host.log, kAllSix);
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(platform.files.size(), 6u);
  for (const auto& [name, file] : platform.files) EXPECT_EQ(file.content, "compacted:data");
}

TEST(RunCompactionTest, EmptyDirectoryGivesSixNotFoundEntriesAndCreatesNothing) {
  ScriptedPlatform platform;
  ScriptedHost host(platform);

  RunCompaction(host);

  EXPECT_EQ(host.log,
            u"lift.mdb not found\r\nlog.mdb not found\r\nprof.mdb not found\r\n"
            u"rang_lift.mdb not found\r\nrang_log.mdb not found\r\nrang_prof.mdb not found\r\n");
  EXPECT_TRUE(platform.files.empty());
  EXPECT_TRUE(host.errors.empty());
  EXPECT_FALSE(host.engine);
  EXPECT_EQ(std::count(platform.journal.begin(), platform.journal.end(), "Create FileSystemObject"), 1);
}

TEST(RunCompactionTest, FailureOnThirdDatabaseStopsThePassAndReachesTheErrorBoxUnchanged) {
  ScriptedPlatform platform;
  AddAllSix(platform);
  platform.FailCallsStartingWith("CompactDatabase Provider=Microsoft.Jet.OLEDB.4.0;Data Source=prof.mdb",
                                 u"Disk full — не удалось");
  ScriptedHost host(platform);

  RunCompaction(host);

  EXPECT_EQ(host.log, u"lift.mdb ok\r\nlog.mdb ok\r\n");
  EXPECT_EQ(host.errors, std::vector<std::u16string>{u"Disk full — не удалось"});
  EXPECT_TRUE(platform.journal.back().starts_with("CompactDatabase"));
  for (auto untouched : {u"rang_lift.mdb", u"rang_log.mdb", u"rang_prof.mdb"}) {
    EXPECT_EQ(platform.files[untouched].content, "data");
  }
}

TEST(RunCompactionTest, EmptyDescriptionReachesTheErrorBoxEmpty) {
  ScriptedPlatform platform;
  platform.FailCall(0, u"");
  ScriptedHost host(platform);

  RunCompaction(host);

  EXPECT_EQ(host.errors, std::vector<std::u16string>{u""});
  EXPECT_FALSE(host.fileSystem);
}

TEST(RunCompactionTest, FailingLogWriteIsReportedAfterTheDatabaseWasReplaced) {
  ScriptedPlatform platform;
  AddAllSix(platform);
  platform.FailCallsStartingWith("AppendLog log.mdb", u"Out of memory");
  ScriptedHost host(platform);

  RunCompaction(host);

  EXPECT_EQ(host.log, u"lift.mdb ok\r\n");
  EXPECT_EQ(host.errors, std::vector<std::u16string>{u"Out of memory"});
  EXPECT_EQ(platform.files[u"log.mdb"].content, "compacted:data");
  EXPECT_EQ(platform.files[u"prof.mdb"].content, "data");
}

TEST(RunCompactionTest, TwoRunsGiveTwelveEntriesAndReuseTheObjects) {
  ScriptedPlatform platform;
  AddAllSix(platform);
  ScriptedHost host(platform);

  RunCompaction(host);
  RunCompaction(host);

  EXPECT_EQ(host.log, std::u16string(kAllSix) + kAllSix);
  EXPECT_EQ(std::count(platform.journal.begin(), platform.journal.end(), "Create JetEngine"), 1);
  for (const auto& [name, file] : platform.files) EXPECT_EQ(file.content, "compacted:compacted:data");
}

TEST(RunCompactionTest, RunAfterAFailureStartsAgainWithTheFirstDatabase) {
  ScriptedPlatform platform;
  AddAllSix(platform);
  platform.files[u"prof.mdb"].readOnly = true;
  ScriptedHost host(platform);

  RunCompaction(host);
  EXPECT_EQ(host.errors, std::vector<std::u16string>{u"Permission denied"});
  EXPECT_EQ(platform.files[u"prof1.mdb"].content, "compacted:data");

  platform.files[u"prof.mdb"].readOnly = false;
  platform.journal.clear();
  RunCompaction(host);

  EXPECT_EQ(platform.journal[1], "FileExists lift.mdb");
  EXPECT_EQ(host.log, std::u16string(u"lift.mdb ok\r\nlog.mdb ok\r\n") + kAllSix);
  EXPECT_FALSE(platform.files.contains(u"prof1.mdb"));
  EXPECT_EQ(platform.files[u"prof.mdb"].content, "compacted:data");
}

// A second pass in the same directory, started while the first is held between any two of its
// calls, fails at once and changes nothing; the first pass then ends as if alone.
TEST(RunCompactionTest, SecondPassDuringTheFirstChangesNothingAndSaysWhy) {
  size_t calls;
  {
    ScriptedPlatform platform;
    AddAllSix(platform);
    ScriptedHost host(platform);
    RunCompaction(host);
    calls = platform.journal.size();
  }
  for (size_t held = 1; held < calls; ++held) {
    SCOPED_TRACE("second pass before call " + std::to_string(held));
    ScriptedPlatform platform;
    AddAllSix(platform);
    ScriptedHost first(platform);
    ScriptedHost second(platform);
    platform.BeforeCall(held, [&] {
      const auto files = platform.files;
      const size_t journaled = platform.journal.size();
      RunCompaction(second);
      EXPECT_EQ(std::vector<std::string>(platform.journal.begin() + journaled, platform.journal.end()),
                std::vector<std::string>{"LockCurrentDirectory"});
      EXPECT_EQ(platform.files.size(), files.size());
      for (const auto& [name, file] : files) EXPECT_EQ(platform.files[name].content, file.content);
    });

    RunCompaction(first);

    EXPECT_EQ(second.errors, std::vector<std::u16string>{
                                 u"Another compaction is running in the folder '/scripted'."});
    EXPECT_TRUE(second.log.empty());
    EXPECT_EQ(first.log, kAllSix);
    EXPECT_TRUE(first.errors.empty());
  }
}

TEST(RunCompactionTest, FailureThatIsNotAPlatformErrorIsStillReported) {
  class ThrowingFactory final : public ObjectFactory {
    std::shared_ptr<PlatformObject> CreateObject(ClassId) override {
      throw std::runtime_error("out of handles");
    }
    std::unique_ptr<DirectoryLock> LockCurrentDirectory() override {
      return std::make_unique<DirectoryLock>();
    }
  } factory;
  class Host final : public CompactionHost {
   public:
    using CompactionHost::CompactionHost;
    void AppendLog(const std::u16string&) override {}
    void ReportError(const std::u16string& description) override { errors.push_back(description); }
    std::vector<std::u16string> errors;
  } host(factory);

  RunCompaction(host);

  EXPECT_EQ(host.errors, std::vector<std::u16string>{u"out of handles"});
}

}  // namespace
}  // namespace vintrel
