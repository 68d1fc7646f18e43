// Whole passes over real directories, with the real file system and a copying engine.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "compaction/run_compaction.h"
#include "copying_platform.h"
#include "scratch_directory.h"

namespace vintrel {
namespace {

using testing::CopyingPlatform;
using testing::ListDirectory;
using testing::ReadFile;
using testing::RecordingHost;
using testing::WorkingDirectory;
using testing::WriteFile;
using Names = std::vector<std::string>;

class RealDirectoryPassTest : public ::testing::Test {
 protected:
  WorkingDirectory directory_;
  CopyingPlatform platform_;
  RecordingHost host_{platform_};
};

TEST_F(RealDirectoryPassTest, EmptyDirectoryGetsSixNotFoundEntriesAndStaysEmpty) {
  RunCompaction(host_);

  EXPECT_EQ(host_.log,
            u"lift.mdb not found\r\nlog.mdb not found\r\nprof.mdb not found\r\n"
            u"rang_lift.mdb not found\r\nrang_log.mdb not found\r\nrang_prof.mdb not found\r\n");
  EXPECT_TRUE(host_.errors.empty());
  EXPECT_TRUE(ListDirectory().empty());
}

TEST_F(RealDirectoryPassTest, ReadOnlyDatabaseStopsThePassUntilItIsWritableAgain) {
  WriteFile("lift.mdb", "lift data");
  WriteFile("prof.mdb", "prof data");
  ::chmod("prof.mdb", 0444);

  RunCompaction(host_);
  EXPECT_EQ(host_.log, u"lift.mdb ok\r\nlog.mdb not found\r\n");
  EXPECT_EQ(host_.errors, std::vector<std::u16string>{u"Permission denied"});
  EXPECT_EQ(ListDirectory(), (Names{"lift.mdb", "prof.mdb", "prof1.mdb"}));
  EXPECT_EQ(ReadFile("prof1.mdb"), "prof data");

  ::chmod("prof.mdb", 0644);
  RunCompaction(host_);
  EXPECT_EQ(host_.errors.size(), 1u);
  EXPECT_EQ(ListDirectory(), (Names{"lift.mdb", "prof.mdb"}));
  EXPECT_EQ(ReadFile("prof.mdb"), "prof data");
}

TEST_F(RealDirectoryPassTest, LeftOverScratchFileIsDeletedBeforeCompaction) {
  WriteFile("lift.mdb", "lift data");
  WriteFile("lift1.mdb", "half a copy");

  RunCompaction(host_);

  EXPECT_TRUE(host_.errors.empty());
  EXPECT_EQ(ListDirectory(), Names{"lift.mdb"});
  EXPECT_EQ(ReadFile("lift.mdb"), "lift data");
}

TEST_F(RealDirectoryPassTest, LoneScratchFileGetsItsDatabaseNameBack) {
  WriteFile("rang_log1.mdb", "the only copy");

  RunCompaction(host_);

  EXPECT_TRUE(host_.errors.empty());
  EXPECT_NE(host_.log.find(u"rang_log.mdb not found\r\n"), std::u16string::npos);
  EXPECT_EQ(ListDirectory(), Names{"rang_log.mdb"});
  EXPECT_EQ(ReadFile("rang_log.mdb"), "the only copy");
}

TEST_F(RealDirectoryPassTest, DirectoryNamedLikeADatabaseIsNotADatabase) {
  std::filesystem::create_directory("lift.mdb");
  WriteFile("lift.mdb/inside", "x");

  RunCompaction(host_);

  EXPECT_TRUE(host_.errors.empty());
  EXPECT_TRUE(host_.log.starts_with(u"lift.mdb not found\r\n"));
  EXPECT_EQ(ReadFile("lift.mdb/inside"), "x");
}

// The scratch file must not be given a name that a directory already has.
TEST_F(RealDirectoryPassTest, LoneScratchFileBesideADirectoryOfTheDatabasesNameIsKept) {
  std::filesystem::create_directory("lift.mdb");
  WriteFile("lift1.mdb", "the only copy");

  RunCompaction(host_);

  EXPECT_EQ(host_.errors, std::vector<std::u16string>{u"File already exists"});
  EXPECT_EQ(ReadFile("lift1.mdb"), "the only copy");
}

}  // namespace
}  // namespace vintrel
