// The POSIX file system against a real directory: the semantics the pass relies on and the
// descriptions users see.
#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "compaction/raised_error.h"
#include "raised_description.h"
#include "scratch_directory.h"

namespace vintrel {
namespace {

using testing::DescriptionOf;
using testing::ListDirectory;
using testing::ReadFile;
using testing::WorkingDirectory;
using testing::WriteFile;

class PosixFileSystemTest : public ::testing::Test {
 protected:
  WorkingDirectory directory_;
  PosixFileSystem fileSystem_;
};

TEST_F(PosixFileSystemTest, OnlyRegularFilesExist) {
  WriteFile("lift.mdb", "x");
  std::filesystem::create_directory("log.mdb");

  EXPECT_TRUE(fileSystem_.FileExists(u"lift.mdb"));
  EXPECT_FALSE(fileSystem_.FileExists(u"log.mdb"));
  EXPECT_FALSE(fileSystem_.FileExists(u"prof.mdb"));
  EXPECT_FALSE(fileSystem_.FileExists(u"LIFT.MDB"));
}

TEST_F(PosixFileSystemTest, ReadOnlyFileIsNotDeletedWithoutForceEvenForRoot) {
  WriteFile("lift1.mdb", "copy");
  ::chmod("lift1.mdb", 0444);

  EXPECT_EQ(DescriptionOf([&] { fileSystem_.DeleteFile(u"lift1.mdb", false); }), u"Permission denied");
  EXPECT_EQ(DescriptionOf([&] { fileSystem_.GetFile(u"lift1.mdb")->Delete(false); }),
            u"Permission denied");
  EXPECT_EQ(ReadFile("lift1.mdb"), "copy");

  fileSystem_.DeleteFile(u"lift1.mdb", true);
  EXPECT_TRUE(ListDirectory().empty());
}

TEST_F(PosixFileSystemTest, MissingFilesAndDirectoriesAreNotFound) {
  std::filesystem::create_directory("lift.mdb");

  EXPECT_EQ(DescriptionOf([&] { fileSystem_.DeleteFile(u"log1.mdb", false); }), u"File not found");
  EXPECT_EQ(DescriptionOf([&] { fileSystem_.GetFile(u"log.mdb"); }), u"File not found");
  EXPECT_EQ(DescriptionOf([&] { fileSystem_.DeleteFile(u"lift.mdb", false); }), u"File not found");
  EXPECT_EQ(DescriptionOf([&] { fileSystem_.GetFile(u"lift.mdb"); }), u"File not found");
  EXPECT_EQ(DescriptionOf([&] { fileSystem_.GetFile(u"nowhere/lift.mdb"); }), u"Path not found");
  EXPECT_TRUE(std::filesystem::is_directory("lift.mdb"));
}

TEST_F(PosixFileSystemTest, FileDeletedBehindTheObjectsBackIsNotFound) {
  WriteFile("lift.mdb", "x");
  auto file = fileSystem_.GetFile(u"lift.mdb");
  std::filesystem::remove("lift.mdb");

  EXPECT_EQ(DescriptionOf([&] { file->Delete(false); }), u"File not found");
  EXPECT_EQ(DescriptionOf([&] { file->SetName(u"log.mdb"); }), u"File not found");
}

TEST_F(PosixFileSystemTest, RenameStaysInTheDirectoryAndFollowsTheFile) {
  WriteFile("lift1.mdb", "copy");
  auto file = fileSystem_.GetFile(u"lift1.mdb");

  file->SetName(u"lift.mdb");
  EXPECT_EQ(ListDirectory(), std::vector<std::string>{"lift.mdb"});
  EXPECT_EQ(ReadFile("lift.mdb"), "copy");

  file->Delete(false);
  EXPECT_TRUE(ListDirectory().empty());
}

TEST_F(PosixFileSystemTest, RenameNeverReplacesAnExistingFile) {
  WriteFile("lift1.mdb", "copy");
  WriteFile("lift.mdb", "original");
  std::filesystem::create_directory("log.mdb");
  auto file = fileSystem_.GetFile(u"lift1.mdb");

  EXPECT_EQ(DescriptionOf([&] { file->SetName(u"lift.mdb"); }), u"File already exists");
  EXPECT_EQ(DescriptionOf([&] { file->SetName(u"log.mdb"); }), u"File already exists");
  EXPECT_EQ(ReadFile("lift.mdb"), "original");
  EXPECT_EQ(ReadFile("lift1.mdb"), "copy");
}

TEST_F(PosixFileSystemTest, RenameTakesOnlyABareName) {
  std::filesystem::create_directory("sub");
  WriteFile("lift1.mdb", "copy");
  auto file = fileSystem_.GetFile(u"lift1.mdb");

  for (auto name : {u"sub/lift.mdb", u"", u"..", u"/tmp/lift.mdb"}) {
    EXPECT_EQ(DescriptionOf([&] { file->SetName(name); }), u"Bad file name or number");
  }
  EXPECT_EQ(ReadFile("lift1.mdb"), "copy");
}

TEST_F(PosixFileSystemTest, NamesAreResolvedWhenLookedUp) {
  WriteFile("lift.mdb", "x");
  auto file = fileSystem_.GetFile(u"lift.mdb");
  std::filesystem::create_directory("elsewhere");
  std::filesystem::current_path("elsewhere");

  file->SetName(u"log.mdb");
  std::filesystem::current_path("..");
  EXPECT_TRUE(fileSystem_.FileExists(u"log.mdb"));
}

}  // namespace
}  // namespace vintrel
