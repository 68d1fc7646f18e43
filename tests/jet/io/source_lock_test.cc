// A compaction's source and the other programs that may have it open: Jet clients, which lock
// it or its lock file, programs that write without locks, and one that cuts the file short
// while it is read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "fixtures.h"
#include "jet/compact/compact_database.h"
#include "jet/io/page_source.h"
#include "jet/io/source_lock.h"
#include "jet/jet_error.h"
#include "other_process.h"
#include "scratch_file.h"

namespace vintrel::jet {
namespace {

using testing::ReadBytes;
using testing::ScratchDirectory;
using vintrel::testing::AnotherProcessCanLockForWriting;
using vintrel::testing::OtherProcess;

void Lock(const std::string& path, int command, short type, off_t start) {
  const int fd = ::open(path.c_str(), type == F_WRLCK ? O_RDWR : O_RDONLY);
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = 1;
  if (fd < 0 || ::fcntl(fd, command, &lock) != 0) ::_exit(1);
}

std::string CompactionError(const std::string& source, const std::string& destination) {
  try {
    CompactDatabase(source, destination);
  } catch (const JetError& error) {
    return error.what();
  }
  return "";
}

TEST(SourceLockTest, ADatabaseAnotherProgramHasOpenIsNotCompacted) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  const std::string database = dir.Path("lift.mdb");
  const std::string lock_file = dir.Path("LIFT.LDB");
  const std::string in_use = "Could not use '" + database + "'; file already in use.";
  struct Case {
    const char* what;
    std::function<void()> hold;
    bool in_use;
  };
  const Case cases[] = {
      {"a Jet client's lock far past the end", [&] { Lock(database, F_SETLK, F_WRLCK, 0x7FFFFF00); }, true},
      {"a read lock on the lock file", [&] { Lock(lock_file, F_OFD_SETLK, F_RDLCK, 0); }, true},
      {"open for writing without a lock", [&] { ::open(database.c_str(), O_RDWR); }, true},
      {"open for reading only", [&] { ::open(database.c_str(), O_RDONLY); }, false},
      {"a lock file nobody locks", [] {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::copy_file(testing::FixturesRoot() / "jet4" / "delTestV2000.mdb", database,
                               std::filesystem::copy_options::overwrite_existing);
    testing::WriteBytes(lock_file, {});
    const std::vector<uint8_t> before = ReadBytes(database);
    {
      OtherProcess other(c.hold);
      EXPECT_EQ(CompactionError(database, dir.Path("lift1.mdb")), c.in_use ? in_use : "");
    }
    EXPECT_EQ(std::filesystem::exists(dir.Path("lift1.mdb")), !c.in_use);
    EXPECT_EQ(ReadBytes(database), before);
    std::filesystem::remove(dir.Path("lift1.mdb"));
  }
}

TEST(SourceLockTest, JetClientsCannotClaimALockedSourceAndChangesAreFound) {
  VINTREL_REQUIRE_FIXTURES();
  ScratchDirectory dir;
  const std::string database = dir.Path("lift.mdb");
  std::filesystem::copy_file(testing::FixturesRoot() / "jet4" / "emptyV2000.mdb", database);
  {
    const SourceLock lock(database);
    EXPECT_FALSE(AnotherProcessCanLockForWriting(database.c_str()));
    lock.RequireUnchanged("");
    std::filesystem::resize_file(database, std::filesystem::file_size(database) + 4096);
    try {
      lock.RequireUnchanged("no copy was written.");
      ADD_FAILURE() << "a grown file passed for unchanged";
    } catch (const JetError& error) {
      EXPECT_STREQ(error.what(), ("The database '" + database + "' changed while it was compacted; no copy was written.").c_str());
    }
  }
  EXPECT_TRUE(AnotherProcessCanLockForWriting(database.c_str()));
}

TEST(SourceLockTest, AFileCutShortWhileReadRaises) {
  ScratchDirectory dir;
  const std::string path = dir.Path("source.mdb");
  testing::WriteBytes(path, std::vector<uint8_t>(3 * 65536, 0xAB));
  std::unique_ptr<PageSource> source = OpenFileSource(path);
  EXPECT_EQ(source->Bytes(0, 4096).bytes[0], 0xAB);
  std::filesystem::resize_file(path, 65536 + 4096);
  EXPECT_EQ(source->Bytes(0, 4096).bytes[100], 0xAB) << "what was read stays readable";
  try {
    source->Bytes(2 * 65536, 4096);
    ADD_FAILURE() << "a page cut off the file was read";
  } catch (const JetError& error) {
    EXPECT_STREQ(error.what(), ("Could not read '" + path + "': the file was cut short while it was read.").c_str());
  }
}

}  // namespace
}  // namespace vintrel::jet
