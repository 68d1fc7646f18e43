// A whole pass of the window program on the system's own platform: where Jet is not installed
// (Wine), our own engine compacts, and our own file operations serve the Scripting Runtime's
// missing ones.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "message_box_watcher.h"
#include "platform/windows/com_apartment.h"
#include "platform/windows/com_object_factory.h"
#include "scratch_directory.h"
#include "ui/win32/frm_main.h"
#include "ui/win32/frm_main_layout.h"

namespace vintrel {
namespace {

std::filesystem::path Fixture(const char* name) { return std::filesystem::path(VINTREL_FIXTURES) / name; }

std::wstring FullPath(const wchar_t* name) { return std::filesystem::absolute(name).wstring(); }

TEST(WholeRunTest, OneClickCompactsTheDatabasesThere) {
  const std::filesystem::path source = Fixture("jet4/testV2000.mdb");
  if (!std::filesystem::is_regular_file(source)) GTEST_SKIP() << "the fixture corpus is absent";
  const ComApartment apartment;
  const testing::WorkingDirectory directory;
  std::filesystem::copy_file(source, L"lift.mdb");
  // The fixtures are read-only; a database in use is not.
  std::filesystem::permissions(L"lift.mdb", std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  ComObjectFactory objects;
  testing::MessageBoxWatcher watcher;
  {
    frmMain frmMain(objects, ::GetModuleHandleW(nullptr));
    frmMain.Show(SW_SHOWNORMAL);
    ::SendMessageW(::GetDlgItem(frmMain.window(), layout::kCmdLiftId), BM_CLICK, 0, 0);
    ASSERT_EQ(watcher.boxes.size(), 0u) << std::filesystem::path(watcher.boxes[0].text).string();
    std::wstring log(static_cast<size_t>(::GetWindowTextLengthW(::GetDlgItem(frmMain.window(), layout::kText1Id))) + 1,
                     L'\0');
    log.resize(::GetWindowTextW(::GetDlgItem(frmMain.window(), layout::kText1Id), log.data(), static_cast<int>(log.size())));
    EXPECT_EQ(log.rfind(L"lift.mdb ok\r\n", 0), 0u);
  }
  EXPECT_EQ(testing::ListDirectory(), std::vector<std::string>{"lift.mdb"});
  const std::string copy = testing::ReadFile(L"lift.mdb");
  EXPECT_TRUE(copy != testing::ReadFile(source)) << "the database was not replaced";
  ASSERT_GT(copy.size(), 0x14u);
  EXPECT_EQ(copy[0x14], 1) << "not a Jet 4 database";
}

TEST(WholeRunTest, ADamagedDatabaseShowsTheEnginesDescriptionAndChangesNoFile) {
  const ComApartment apartment;
  const testing::WorkingDirectory directory;
  testing::WriteFile(L"lift.mdb", "not a Jet database");
  testing::WriteFile(L"prof.mdb", "another");
  testing::WriteFile(L"log1.mdb", "left over");
  ComObjectFactory objects;
  testing::MessageBoxWatcher watcher;
  {
    frmMain frmMain(objects, ::GetModuleHandleW(nullptr));
    frmMain.Show(SW_SHOWNORMAL);
    ::SendMessageW(::GetDlgItem(frmMain.window(), layout::kCmdLiftId), BM_CLICK, 0, 0);

    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].title, L"ОШИБКА");
    EXPECT_EQ(watcher.boxes[0].text, L"Unrecognized database format '" + FullPath(L"lift.mdb") + L"'.");
    EXPECT_EQ(watcher.boxes[0].owner, frmMain.window());
    EXPECT_EQ(::GetWindowTextLengthW(::GetDlgItem(frmMain.window(), layout::kText1Id)), 0);
    EXPECT_NE(frmMain.fileSystem, nullptr);
  }
  EXPECT_EQ(testing::ListDirectory(), (std::vector<std::string>{"lift.mdb", "log1.mdb", "prof.mdb"}));
  EXPECT_EQ(testing::ReadFile(L"lift.mdb"), "not a Jet database");
  EXPECT_EQ(testing::ReadFile(L"prof.mdb"), "another");
  EXPECT_EQ(testing::ReadFile(L"log1.mdb"), "left over");
}

}  // namespace
}  // namespace vintrel
