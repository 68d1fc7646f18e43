// The COM platform against the system's own Scripting Runtime (Wine's, in CI).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "compaction/raised_error.h"
#include "platform/windows/com_apartment.h"
#include "platform/windows/com_object_factory.h"
#include "platform/windows/com_objects.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win32_file_system.h"
#include "raised_description.h"
#include "scratch_directory.h"

namespace vintrel {
namespace {

using testing::DescriptionOf;

class ComPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fileSystem_ = std::dynamic_pointer_cast<FileSystem>(objects_.CreateObject(kFileSystemObjectClass));
    ASSERT_NE(fileSystem_, nullptr);
  }

  ComApartment apartment_;
  testing::WorkingDirectory directory_;
  ComObjectFactory objects_;
  std::shared_ptr<FileSystem> fileSystem_;
};

TEST_F(ComPlatformTest, FileExistsSeesFilesOfTheCurrentDirectoryOnly) {
  testing::WriteFile(L"lift.mdb", "data");
  ::CreateDirectoryW(L"log.mdb", nullptr);
  EXPECT_TRUE(fileSystem_->FileExists(u"lift.mdb"));
  EXPECT_FALSE(fileSystem_->FileExists(u"lift1.mdb"));
  EXPECT_FALSE(fileSystem_->FileExists(u"log.mdb"));
  ::RemoveDirectoryW(L"log.mdb");
}

TEST_F(ComPlatformTest, DeleteFileRemovesAWritableFile) {
  testing::WriteFile(L"lift1.mdb", "scratch");
  fileSystem_->DeleteFile(u"lift1.mdb", false);
  EXPECT_FALSE(std::filesystem::is_regular_file(L"lift1.mdb"));
}

TEST_F(ComPlatformTest, DeleteFileWithoutForceLeavesAReadOnlyFile) {
  testing::WriteFile(L"lift1.mdb", "scratch", /*readOnly=*/true);
  EXPECT_EQ(DescriptionOf([&] { fileSystem_->DeleteFile(u"lift1.mdb", false); }), u"Permission denied");
  EXPECT_EQ(testing::ReadFile(L"lift1.mdb"), "scratch");
}

TEST_F(ComPlatformTest, MissingFilesAreNotFound) {
  EXPECT_EQ(DescriptionOf([&] { fileSystem_->DeleteFile(u"lift1.mdb", false); }), u"File not found");
  EXPECT_EQ(DescriptionOf([&] { fileSystem_->GetFile(u"lift.mdb"); }), u"File not found");
}

// Under Wine, File.Delete and the Name assignment are our own (its Scripting Runtime leaves
// them unimplemented), with the component's semantics and texts.
TEST_F(ComPlatformTest, FileDeleteAndRenameWorkAsTheScriptingRuntimesDo) {
  testing::WriteFile(L"lift.mdb", "database", /*readOnly=*/true);
  testing::WriteFile(L"lift1.mdb", "compacted");
  testing::WriteFile(L"log.mdb", "log");
  const std::shared_ptr<File> database = fileSystem_->GetFile(u"lift.mdb");
  const std::shared_ptr<File> scratch = fileSystem_->GetFile(u"lift1.mdb");
  ASSERT_NE(database, nullptr);
  ASSERT_NE(scratch, nullptr);
  EXPECT_EQ(DescriptionOf([&] { database->Delete(false); }), u"Permission denied");
  EXPECT_EQ(DescriptionOf([&] { scratch->SetName(u"log.mdb"); }), u"File already exists");
  EXPECT_EQ(testing::ListDirectory(), (std::vector<std::string>{"lift.mdb", "lift1.mdb", "log.mdb"}));
  database->Delete(true);
  scratch->SetName(u"lift.mdb");
  EXPECT_EQ(testing::ReadFile(L"lift.mdb"), "compacted");
  EXPECT_EQ(testing::ListDirectory(), (std::vector<std::string>{"lift.mdb", "log.mdb"}));
  // The renamed file is still the one the object names.
  scratch->Delete(false);
  EXPECT_EQ(testing::ListDirectory(), std::vector<std::string>{"log.mdb"});
  EXPECT_EQ(DescriptionOf([&] { scratch->Delete(false); }), u"File not found");
}

// Where no JetEngine class is registered (Wine), the engine is our own, reached through the
// same late-bound call: its failures carry the engine's description.
TEST_F(ComPlatformTest, WithoutAJetEngineClassOurEngineCompacts) {
  const auto engine = std::dynamic_pointer_cast<Engine>(objects_.CreateObject(kJetEngineClass));
  ASSERT_NE(engine, nullptr);
  const std::u16string prefix = u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
  testing::WriteFile(L"lift.mdb", std::string(4096, 'x'));
  const std::u16string description =
      DescriptionOf([&] { engine->CompactDatabase(prefix + u"lift.mdb", prefix + u"lift1.mdb"); });
  EXPECT_EQ(description, u"Unrecognized database format '" + FromWide(FullFilePath(u"lift.mdb")) + u"'.");
  EXPECT_EQ(testing::ListDirectory(), std::vector<std::string>{"lift.mdb"});
}

TEST_F(ComPlatformTest, CreatingAnUnavailableClassRaisesADescription) {
  const ClassId unregistered{u"{5C3B0F27-8E0A-4D55-9B1E-6A1B2C3D4E5F}"};
  EXPECT_NE(DescriptionOf([&] { objects_.CreateObject(unregistered); }), u"");
  EXPECT_NE(DescriptionOf([&] { objects_.CreateObject(ClassId{u"not a class id"}); }), u"");
}

TEST_F(ComPlatformTest, OtherClassesAreNeitherFileSystemNorEngine) {
  const ClassId dictionary{u"{EE09B103-97E0-11CF-978F-00A02463E06F}"};  // Scripting.Dictionary
  const std::shared_ptr<PlatformObject> object = objects_.CreateObject(dictionary);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<FileSystem>(object), nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<Engine>(object), nullptr);
}

// The folder's lock keeps a second pass out until the first lets it go.
TEST_F(ComPlatformTest, DirectoryLockIsHeldUntilReleased) {
  std::wstring directory(MAX_PATH, L'\0');
  directory.resize(::GetCurrentDirectoryW(MAX_PATH, directory.data()));
  auto first = objects_.LockCurrentDirectory();
  EXPECT_EQ(DescriptionOf([&] { objects_.LockCurrentDirectory(); }),
            u"Another compaction is running in the folder '" + FromWide(directory) + u"'.");
  first.reset();
  EXPECT_NE(objects_.LockCurrentDirectory(), nullptr);
}

}  // namespace
}  // namespace vintrel
