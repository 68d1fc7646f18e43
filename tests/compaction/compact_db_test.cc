// One database at a time: the calls made, in order, and the state the files are left in.
#include "compaction/compact_db.h"

#include <gtest/gtest.h>

#include "compaction/raised_error.h"
#include "scripted_platform.h"

namespace vintrel {
namespace {

using testing::ScriptedHost;
using testing::ScriptedPlatform;
using Journal = std::vector<std::string>;

constexpr char kLiftSource[] = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=lift.mdb";
constexpr char kLiftDestination[] =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=lift1.mdb;Jet OLEDB:Engine Type=5";

TEST(CompactDbTest, BuildsNamesAndConnectionStringsByConcatenation) {
  EXPECT_EQ(DatabasePath(u"rang_log"), u"rang_log.mdb");
  EXPECT_EQ(ScratchPath(u"rang_log"), u"rang_log1.mdb");
  EXPECT_EQ(SourceConnection(u"lift.mdb"), u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=lift.mdb");
  EXPECT_EQ(DestinationConnection(u"lift1.mdb"),
            u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=lift1.mdb;Jet OLEDB:Engine Type=5");
}

TEST(CompactDbTest, CompactsPresentDatabaseAndGivesTheCopyItsName) {
  ScriptedPlatform platform;
  platform.files[u"lift.mdb"] = {"data"};
  ScriptedHost host(platform);

  CompactDb(host, u"lift");

  EXPECT_EQ(platform.journal, (Journal{
                                  "Create FileSystemObject",
                                  "FileExists lift.mdb",
                                  "FileExists lift1.mdb",
                                  "Create JetEngine",
                                  std::string("CompactDatabase ") + kLiftSource + " | " + kLiftDestination,
                                  "GetFile lift.mdb",
                                  "Delete lift.mdb",
                                  "GetFile lift1.mdb",
                                  "SetName lift1.mdb -> lift.mdb",
                                  "AppendLog lift.mdb ok\r\n",
                              }));
  ASSERT_EQ(platform.files.size(), 1u);
  EXPECT_EQ(platform.files[u"lift.mdb"].content, "compacted:data");
  EXPECT_EQ(host.log, u"lift.mdb ok\r\n");
  EXPECT_TRUE(host.engine && host.fileSystem && host.currentFile);
}

TEST(CompactDbTest, DeletesLeftOverScratchFileBeforeCompacting) {
  ScriptedPlatform platform;
  platform.files[u"lift.mdb"] = {"data"};
  platform.files[u"lift1.mdb"] = {"stale"};
  ScriptedHost host(platform);

  CompactDb(host, u"lift");

  EXPECT_EQ(platform.journal[2], "FileExists lift1.mdb");
  EXPECT_EQ(platform.journal[3], "DeleteFile lift1.mdb");
  EXPECT_EQ(platform.journal[4], "Create JetEngine");
  ASSERT_EQ(platform.files.size(), 1u);
  EXPECT_EQ(platform.files[u"lift.mdb"].content, "compacted:data");
}

TEST(CompactDbTest, AbsentDatabaseGetsNotFoundEntryAndNoEngine) {
  ScriptedPlatform platform;
  ScriptedHost host(platform);

  CompactDb(host, u"log");

  EXPECT_EQ(platform.journal, (Journal{"Create FileSystemObject", "FileExists log.mdb",
                                       "FileExists log1.mdb", "AppendLog log.mdb not found\r\n"}));
  EXPECT_TRUE(platform.files.empty());
  EXPECT_FALSE(host.engine);
  EXPECT_FALSE(host.currentFile);
}

// A scratch file without its database is what an interrupted rename leaves: the only copy.
TEST(CompactDbTest, LoneScratchFileGetsTheDatabaseNameBackAndIsNeverDeleted) {
  ScriptedPlatform platform;
  platform.files[u"prof1.mdb"] = {"compacted:data"};
  ScriptedHost host(platform);

  CompactDb(host, u"prof");

  EXPECT_EQ(platform.journal,
            (Journal{"Create FileSystemObject", "FileExists prof.mdb", "FileExists prof1.mdb",
                     "GetFile prof1.mdb", "SetName prof1.mdb -> prof.mdb",
                     "AppendLog prof.mdb not found\r\n"}));
  ASSERT_EQ(platform.files.size(), 1u);
  EXPECT_EQ(platform.files[u"prof.mdb"].content, "compacted:data");
  EXPECT_FALSE(host.engine);
}

TEST(CompactDbTest, ReadOnlyDatabaseKeepsCopyUnderScratchNameUntilNextAttempt) {
  ScriptedPlatform platform;
  platform.files[u"prof.mdb"] = {"data", true};
  ScriptedHost host(platform);

  try {
    CompactDb(host, u"prof");
    FAIL() << "deleting a read-only database must fail";
  } catch (const RaisedError& failure) {
    EXPECT_EQ(failure.description(), u"Permission denied");
  }
  EXPECT_EQ(platform.journal.back(), "Delete prof.mdb");
  EXPECT_EQ(platform.files[u"prof.mdb"].content, "data");
  EXPECT_EQ(platform.files[u"prof1.mdb"].content, "compacted:data");
  EXPECT_TRUE(host.log.empty());

  platform.files[u"prof.mdb"].readOnly = false;
  platform.journal.clear();
  CompactDb(host, u"prof");
  EXPECT_EQ(platform.journal[2], "DeleteFile prof1.mdb");
  ASSERT_EQ(platform.files.size(), 1u);
  EXPECT_EQ(platform.files[u"prof.mdb"].content, "compacted:data");
}

TEST(CompactDbTest, FailedCreationLeavesReferenceEmptyAndIsTriedAgain) {
  ScriptedPlatform platform;
  platform.files[u"lift.mdb"] = {"data"};
  platform.FailCall(3, u"Provider cannot be found. It may not be properly installed.");
  ScriptedHost host(platform);

  EXPECT_THROW(CompactDb(host, u"lift"), RaisedError);
  EXPECT_EQ(platform.journal.back(), "Create JetEngine");
  EXPECT_FALSE(host.engine);
  EXPECT_TRUE(host.fileSystem);

  CompactDb(host, u"lift");
  EXPECT_EQ(platform.journal[6], "Create JetEngine");
  EXPECT_TRUE(host.engine);
}

// Each line of a full compaction, made to fail in turn: the failure's description leaves
// CompactDb unchanged, nothing after it is called, and the files stand as that step left them.
TEST(CompactDbTest, EveryFailingCallEndsTheCompactionThere) {
  struct Expected {
    std::string call;
    std::map<std::u16string, std::string> files;
  };
  const std::vector<Expected> steps = {
      {"Create FileSystemObject", {{u"lift.mdb", "data"}, {u"lift1.mdb", "stale"}}},
      {"FileExists lift.mdb", {{u"lift.mdb", "data"}, {u"lift1.mdb", "stale"}}},
      {"FileExists lift1.mdb", {{u"lift.mdb", "data"}, {u"lift1.mdb", "stale"}}},
      {"DeleteFile lift1.mdb", {{u"lift.mdb", "data"}, {u"lift1.mdb", "stale"}}},
      {"Create JetEngine", {{u"lift.mdb", "data"}}},
      {"CompactDatabase", {{u"lift.mdb", "data"}}},
      {"GetFile lift.mdb", {{u"lift.mdb", "data"}, {u"lift1.mdb", "compacted:data"}}},
      {"Delete lift.mdb", {{u"lift.mdb", "data"}, {u"lift1.mdb", "compacted:data"}}},
      {"GetFile lift1.mdb", {{u"lift1.mdb", "compacted:data"}}},
      {"SetName lift1.mdb -> lift.mdb", {{u"lift1.mdb", "compacted:data"}}},
      {"AppendLog lift.mdb ok", {{u"lift.mdb", "compacted:data"}}},
  };
  for (size_t index = 0; index < steps.size(); ++index) {
    SCOPED_TRACE(steps[index].call);
    ScriptedPlatform platform;
    platform.files[u"lift.mdb"] = {"data"};
    platform.files[u"lift1.mdb"] = {"stale"};
    platform.FailCall(index, u"failure " + std::u16string(1, u'A' + index));
    ScriptedHost host(platform);

    try {
      CompactDb(host, u"lift");
      FAIL() << "the failure must leave CompactDb";
    } catch (const RaisedError& failure) {
      EXPECT_EQ(failure.description(), u"failure " + std::u16string(1, u'A' + index));
    }
    ASSERT_EQ(platform.journal.size(), index + 1) << "a call was made after the failure";
    EXPECT_TRUE(platform.journal.back().starts_with(steps[index].call));
    std::map<std::u16string, std::string> files;
    for (const auto& [name, file] : platform.files) files[name] = file.content;
    EXPECT_EQ(files, steps[index].files);
    EXPECT_TRUE(host.log.empty());
  }
}

// The same for the lone scratch file: a failure while giving it its name back leaves it as is.
TEST(CompactDbTest, FailureWhileRestoringLoneScratchFileKeepsIt) {
  for (size_t index = 0; index < 6; ++index) {
    ScriptedPlatform platform;
    platform.files[u"lift1.mdb"] = {"copy"};
    platform.FailCall(index, u"failure");
    ScriptedHost host(platform);

    EXPECT_THROW(CompactDb(host, u"lift"), RaisedError);
    ASSERT_EQ(platform.journal.size(), index + 1);
    ASSERT_EQ(platform.files.size(), 1u);
    EXPECT_EQ(platform.files.begin()->second.content, "copy");
    EXPECT_EQ(platform.files.begin()->first, index < 5 ? u"lift1.mdb" : u"lift.mdb");
  }
}

TEST(CompactDbTest, FailedGetFileLeavesCurrentFileAsItWas) {
  ScriptedPlatform platform;
  platform.files[u"lift.mdb"] = {"data"};
  platform.FailCall(7, u"File not found");
  ScriptedHost host(platform);

  EXPECT_THROW(CompactDb(host, u"lift"), RaisedError);
  EXPECT_EQ(platform.journal.back(), "GetFile lift1.mdb");
  ASSERT_TRUE(host.currentFile);
  EXPECT_EQ(platform.liveObjects(), 3);  // file system, engine, and the deleted database's File
}

}  // namespace
}  // namespace vintrel
