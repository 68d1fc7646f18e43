// The POSIX JetEngine as the compaction calls it: connection strings, names resolved in the
// current directory, the engine's failures passed on as raised errors, and the source held
// until its copy has taken its name, then closed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>

#include "compaction/raised_error.h"
#include "compaction/run_compaction.h"
#include "copying_platform.h"
#include "other_process.h"
#include "platform/posix/native_jet_engine.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_object_factory.h"
#include "scratch_directory.h"
#include "text/utf.h"

namespace vintrel {
namespace {

using testing::AnotherProcessCanLockForWriting;
using testing::ListDirectory;
using testing::ReadFile;
using testing::WorkingDirectory;
using testing::WriteFile;

const std::u16string kPrefix = u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";

std::string Fixture(const char* name) {
  return (std::filesystem::path(VINTREL_FIXTURES) / "jet4" / name).string();
}

std::string FullPath(const std::string& name) {
  return (std::filesystem::current_path() / name).string();
}

// The description of the error CompactDatabase raises, empty when it succeeds.
std::string Compact(const std::u16string& source, const std::u16string& destination) {
  try {
    NativeJetEngine().CompactDatabase(source, destination);
  } catch (const RaisedError& error) {
    return ToUtf8(error.description());
  }
  return "";
}

std::string CompactLift(const std::u16string& destination_suffix = u";Jet OLEDB:Engine Type=5") {
  return Compact(kPrefix + u"lift.mdb", kPrefix + u"lift1.mdb" + destination_suffix);
}

#define REQUIRE_FIXTURES()                                                   \
  if (!std::filesystem::is_directory(VINTREL_FIXTURES)) {                    \
    GTEST_SKIP() << "the fixture corpus " << VINTREL_FIXTURES << " is absent"; \
  }

TEST(NativeJetEngineTest, CompactsANameInTheCurrentDirectoryIntoAJet4Copy) {
  REQUIRE_FIXTURES();
  WorkingDirectory directory;
  std::filesystem::copy_file(Fixture("delTestV2000.mdb"), "lift.mdb");
  const std::string before = ReadFile("lift.mdb");

  EXPECT_EQ(CompactLift(), "");
  EXPECT_EQ(ReadFile("lift.mdb"), before);
  EXPECT_EQ(ListDirectory(), (std::vector<std::string>{"lift.mdb", "lift1.mdb"}));
  const std::string copy = ReadFile("lift1.mdb");
  ASSERT_GT(copy.size(), 0x14u);
  EXPECT_EQ(copy[0x14], '\x01') << "the Jet 4 version byte";
  EXPECT_LT(copy.size(), before.size());
}

TEST(NativeJetEngineTest, AbsentEngineTypeKeepsTheFormatAndOtherTypesAreRefused) {
  REQUIRE_FIXTURES();
  WorkingDirectory directory;
  std::filesystem::copy_file(Fixture("emptyV2000.mdb"), "lift.mdb");
  EXPECT_EQ(CompactLift(u""), "");
  std::filesystem::remove("lift1.mdb");
  EXPECT_EQ(CompactLift(u";Jet OLEDB:Engine Type=4"),
            "Jet OLEDB:Engine Type 4 is not supported: the copy can only be written as 5, the Jet 4 format.");
  EXPECT_EQ(ListDirectory(), std::vector<std::string>{"lift.mdb"});
}

TEST(NativeJetEngineTest, ConnectionStringsNeedTheJetProviderAndADataSource) {
  WorkingDirectory directory;
  const std::string missing_provider = "Provider cannot be found. It may not be properly installed.";
  EXPECT_EQ(Compact(u"Provider=SQLOLEDB;Data Source=lift.mdb", kPrefix + u"lift1.mdb"), missing_provider);
  EXPECT_EQ(Compact(u"Data Source=lift.mdb", kPrefix + u"lift1.mdb"), missing_provider);
  EXPECT_EQ(Compact(kPrefix + u"lift.mdb", u"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=x"),
            missing_provider);
  EXPECT_EQ(Compact(u"provider = microsoft.jet.oledb.4.0 ; data source = 'lift.mdb'", kPrefix + u"lift1.mdb"),
            "Could not find file '" + FullPath("lift.mdb") + "'.")
      << "keys and the provider name are case-insensitive";
  EXPECT_EQ(Compact(u"Provider=Microsoft.Jet.OLEDB.4.0", kPrefix + u"lift1.mdb"),
            "The connection string names no Data Source.");
  EXPECT_TRUE(ListDirectory().empty());
}

TEST(NativeJetEngineTest, EngineFailuresCarryTheirDescriptionsAndLeaveNoCopy) {
  WorkingDirectory directory;
  EXPECT_EQ(CompactLift(), "Could not find file '" + FullPath("lift.mdb") + "'.");
  WriteFile("lift.mdb", "data");
  EXPECT_EQ(CompactLift(), "Unrecognized database format '" + FullPath("lift.mdb") + "'.");
  EXPECT_EQ(ReadFile("lift.mdb"), "data");
  WriteFile("lift1.mdb", "old");
  EXPECT_EQ(CompactLift(), "Database already exists.");
  EXPECT_EQ(ReadFile("lift1.mdb"), "old");
  EXPECT_EQ(ListDirectory(), (std::vector<std::string>{"lift.mdb", "lift1.mdb"}));
}

TEST(NativeJetEngineTest, ASourceBeingCompactedElsewhereIsInUse) {
  REQUIRE_FIXTURES();
  WorkingDirectory directory;
  std::filesystem::copy_file(Fixture("emptyV2000.mdb"), "lift.mdb");
  // Another compaction holds the source's lock, as CompactDatabase takes it.
  int other = ::open("lift.mdb", O_RDONLY);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(CompactLift(), "Could not use '" + FullPath("lift.mdb") + "'; file already in use.");
  ::close(other);
  EXPECT_EQ(ListDirectory(), std::vector<std::string>{"lift.mdb"});
  EXPECT_EQ(CompactLift(), "") << "the lock goes with the other compaction";
}

TEST(NativeJetEngineTest, TheSourceStaysLockedAndIsNotDeletedWhenItChangedMeanwhile) {
  REQUIRE_FIXTURES();
  WorkingDirectory directory;
  std::filesystem::copy_file(Fixture("emptyV2000.mdb"), "lift.mdb");
  auto holds = std::make_shared<SourceHolds>();
  NativeJetEngine engine(holds);
  PosixFileSystem files(holds);

  engine.CompactDatabase(kPrefix + u"lift.mdb", kPrefix + u"lift1.mdb");
  EXPECT_FALSE(AnotherProcessCanLockForWriting("lift.mdb")) << "a Jet client must not claim it now";
  std::filesystem::resize_file("lift.mdb", std::filesystem::file_size("lift.mdb") + 4096);
  try {
    files.GetFile(u"lift.mdb")->Delete(false);
    ADD_FAILURE() << "a database changed behind the lock was deleted";
  } catch (const RaisedError& error) {
    EXPECT_EQ(ToUtf8(error.description()), "The database '" + FullPath("lift.mdb") +
                                               "' changed while it was compacted; it was not deleted, and its "
                                               "compacted copy is kept beside it.");
  }
  EXPECT_EQ(ListDirectory(), (std::vector<std::string>{"lift.mdb", "lift1.mdb"}));
}

// How many descriptors of the process `process` ("self", or a number of /proc) name `path`,
// deleted.
int DescriptorsOfDeleted(const std::string& path, const std::string& process = "self") {
  int count = 0;
  std::error_code error;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + process + "/fd", error)) {
    if (std::filesystem::read_symlink(fd.path(), error).string() == path + " (deleted)") ++count;
  }
  return count;
}

// Waits up to 10 s for no process to hold `path`, deleted; whether none does.
bool NoProcessHoldsDeleted(const std::string& path) {
  for (int tries = 0; tries < 1000; ++tries) {
    int count = 0;
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
      const std::string name = process.path().filename();
      if (std::isdigit(static_cast<unsigned char>(name[0]))) count += DescriptorsOfDeleted(path, name);
    }
    if (count == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(NativeJetEngineTest, ADeletedDatabaseIsClosedByTheTimeThePlatformIsGone) {
  REQUIRE_FIXTURES();
  WorkingDirectory directory;
  std::filesystem::copy_file(Fixture("delTestV2000.mdb"), "lift.mdb");
  ::chmod("lift.mdb", 0644);
  {
    PosixObjectFactory platform;
    testing::RecordingHost host(platform);
    RunCompaction(host);
    EXPECT_EQ(host.errors, std::vector<std::u16string>{});
  }
  EXPECT_EQ(DescriptorsOfDeleted(FullPath("lift.mdb")), 0) << "its blocks would stay allocated";
  EXPECT_TRUE(NoProcessHoldsDeleted(FullPath("lift.mdb"))) << "the process left to close it must end";
}

TEST(NativeJetEngineTest, APassThatStopsLetsGoOfTheSourceItHeld) {
  REQUIRE_FIXTURES();
  WorkingDirectory directory;
  std::filesystem::copy_file(Fixture("emptyV2000.mdb"), "lift.mdb");
  ::chmod("lift.mdb", 0444);
  PosixObjectFactory platform;
  testing::RecordingHost host(platform);

  RunCompaction(host);
  EXPECT_EQ(host.errors, std::vector<std::u16string>{u"Permission denied"});
  ::chmod("lift.mdb", 0644);
  EXPECT_TRUE(AnotherProcessCanLockForWriting("lift.mdb"));
}

}  // namespace
}  // namespace vintrel
