// A whole pass of the window program on the system's own COM components. Where Jet is not
// installed (Wine), creating the engine fails: the error box must say why, and no file changes.
#include <gtest/gtest.h>

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

TEST(WholeRunTest, AFailedPassShowsItsDescriptionAndChangesNoFile) {
  const ComApartment apartment;
  const testing::WorkingDirectory directory;
  // Not a database: should Jet be installed, compacting it fails too.
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
    EXPECT_NE(watcher.boxes[0].text, L"");
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
