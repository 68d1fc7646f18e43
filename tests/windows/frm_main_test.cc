// The main window on a scripted platform: its layout and texts, the log pane, the handlers and
// the release of the platform objects on every route out.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compaction/raised_error.h"
#include "message_box_watcher.h"
#include "scripted_platform.h"
#include "ui/win32/frm_main.h"
#include "ui/win32/frm_main_layout.h"
#include "ui/win32/message_loop.h"

namespace vintrel {
namespace {

int ScreenDpi(int axis) {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, axis);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

RECT PixelRect(const form::TwipsRect& twips) {
  const int x = ScreenDpi(LOGPIXELSX);
  const int y = ScreenDpi(LOGPIXELSY);
  const int left = ::MulDiv(twips.left, x, 1440);
  const int top = ::MulDiv(twips.top, y, 1440);
  return RECT{left, top, left + ::MulDiv(twips.width, x, 1440), top + ::MulDiv(twips.height, y, 1440)};
}

RECT ClientRectOfChild(HWND child) {
  RECT rect;
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(::GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

LONG StyleOf(HWND window) { return ::GetWindowLongW(window, GWL_STYLE); }

class FrmMainTest : public ::testing::Test {
 protected:
  HWND Control(int id) const { return ::GetDlgItem(form_->window(), id); }
  HWND cmdLift() const { return Control(layout::kCmdLiftId); }
  HWND cmdExit() const { return Control(layout::kCmdExitId); }
  HWND Text1() const { return Control(layout::kText1Id); }
  void Click(HWND button) const { ::SendMessageW(button, BM_CLICK, 0, 0); }

  testing::ScriptedPlatform platform_;
  std::unique_ptr<frmMain> form_ = std::make_unique<frmMain>(platform_, ::GetModuleHandleW(nullptr));
};

TEST_F(FrmMainTest, WindowIsAFixedDialogFrameOfTheGivenClientSize) {
  HWND window = form_->window();
  EXPECT_EQ(TextOf(window), L"Vintrel");
  const LONG style = StyleOf(window);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_NE(style & WS_SYSMENU, 0);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_EQ(::GetClassLongPtrW(window, GCLP_HBRBACKGROUND), COLOR_WINDOW + 1);
  RECT client;
  ::GetClientRect(window, &client);
  EXPECT_TRUE(client == PixelRect({0, 0, form::kClientWidth, form::kClientHeight}));
}

TEST_F(FrmMainTest, ControlsStandWhereTheLayoutSaysInTabOrder) {
  EXPECT_TRUE(ClientRectOfChild(cmdLift()) == PixelRect(form::kCmdLift));
  EXPECT_TRUE(ClientRectOfChild(cmdExit()) == PixelRect(form::kCmdExit));
  EXPECT_TRUE(ClientRectOfChild(Text1()) == PixelRect(form::kText1));
  EXPECT_EQ(TextOf(cmdLift()), L"Сжать");
  EXPECT_EQ(TextOf(cmdExit()), L"Выход");
  // Form_Load empties the pane and touches nothing else.
  EXPECT_EQ(TextOf(Text1()), L"");
  EXPECT_TRUE(platform_.journal.empty());

  HWND window = form_->window();
  EXPECT_EQ(::GetWindow(window, GW_CHILD), cmdLift());
  EXPECT_EQ(::GetNextDlgTabItem(window, cmdLift(), FALSE), cmdExit());
  EXPECT_EQ(::GetNextDlgTabItem(window, cmdExit(), FALSE), Text1());
  EXPECT_EQ(::GetNextDlgTabItem(window, Text1(), FALSE), cmdLift());
  // Neither button is a default button.
  EXPECT_EQ(StyleOf(cmdLift()) & BS_TYPEMASK, BS_PUSHBUTTON);
  EXPECT_EQ(StyleOf(cmdExit()) & BS_TYPEMASK, BS_PUSHBUTTON);
}

TEST_F(FrmMainTest, LogPaneWrapsWithoutScrollBars) {
  const LONG style = StyleOf(Text1());
  EXPECT_NE(style & ES_MULTILINE, 0);
  EXPECT_NE(style & ES_AUTOVSCROLL, 0);
  EXPECT_NE(style & WS_TABSTOP, 0);
  EXPECT_EQ(style & (ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL), 0);
}

TEST_F(FrmMainTest, ButtonsUseCyrillicMsSansSerif) {
  for (HWND button : {cmdLift(), cmdExit()}) {
    LOGFONTW font{};
    ASSERT_NE(::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0)), sizeof font, &font), 0);
    EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
    EXPECT_EQ(font.lfHeight, -::MulDiv(975, ScreenDpi(LOGPIXELSY), 7200));
    EXPECT_EQ(font.lfWeight, 400);
    EXPECT_EQ(font.lfCharSet, 204);
    EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
  }
}

TEST_F(FrmMainTest, FocusStartsOnCmdLift) {
  form_->Show(SW_SHOWNORMAL);
  EXPECT_EQ(::GetFocus(), cmdLift());
}

TEST_F(FrmMainTest, AppendLogReplacesTheSelectionAndLeavesTheCaretAfterIt) {
  form_->AppendLog(u"lift.mdb ok\r\n");
  form_->AppendLog(u"log.mdb ok\r\n");
  ::SendMessageW(Text1(), EM_SETSEL, 0, 0);
  form_->AppendLog(u"first\r\n");
  ::SendMessageW(Text1(), EM_SETSEL, 7, 11);  // "lift"
  form_->AppendLog(u"LIFT");
  EXPECT_EQ(TextOf(Text1()), L"first\r\nLIFT.mdb ok\r\nlog.mdb ok\r\n");
  DWORD start = 0;
  DWORD end = 0;
  ::SendMessageW(Text1(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 11u);
  EXPECT_EQ(end, 11u);
}

TEST_F(FrmMainTest, AppendLogRaisesWhenThePaneTakesNoMore) {
  ::SendMessageW(Text1(), EM_SETLIMITTEXT, 10, 0);
  EXPECT_THROW(form_->AppendLog(u"rang_prof.mdb not found\r\n"), RaisedError);
}

TEST_F(FrmMainTest, EachClickRunsOnePassIntoThePane) {
  Click(cmdLift());
  Click(cmdLift());
  const std::wstring pass =
      L"lift.mdb not found\r\nlog.mdb not found\r\nprof.mdb not found\r\n"
      L"rang_lift.mdb not found\r\nrang_log.mdb not found\r\nrang_prof.mdb not found\r\n";
  EXPECT_EQ(TextOf(Text1()), pass + pass);
  EXPECT_TRUE(form_->IsOpen());
}

TEST_F(FrmMainTest, FailureShowsTheErrorBoxOwnedByTheWindow) {
  platform_.FailCallsStartingWith("FileExists log.mdb", u"Disk not ready");
  testing::MessageBoxWatcher watcher;
  Click(cmdLift());
  ASSERT_EQ(watcher.boxes.size(), 1u);
  EXPECT_EQ(watcher.boxes[0].owner, form_->window());
  EXPECT_EQ(watcher.boxes[0].title, L"ОШИБКА");
  EXPECT_EQ(watcher.boxes[0].text, L"Disk not ready");
  EXPECT_TRUE(watcher.boxes[0].okOnly);
  EXPECT_TRUE(watcher.boxes[0].stopIcon);
  EXPECT_EQ(TextOf(Text1()), L"lift.mdb not found\r\n");
  EXPECT_TRUE(form_->IsOpen());
}

// Types a key as the keyboard does: it goes to whichever control has the focus then.
void Type(WORD key) {
  INPUT strokes[2] = {};
  for (INPUT& stroke : strokes) {
    stroke.type = INPUT_KEYBOARD;
    stroke.ki.wVk = key;
  }
  strokes[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, strokes, sizeof(INPUT));
}

bool gaveUp = false;

void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) {
  gaveUp = true;
  ::PostMessageW(::FindWindowW(L"frmMain", nullptr), WM_CLOSE, 0, 0);
}

TEST_F(FrmMainTest, KeyboardAloneRunsAPassAndClosesTheWindow) {
  form_->Show(SW_SHOWNORMAL);
  Type(VK_SPACE);
  Type(VK_TAB);
  Type(VK_SPACE);
  // Should the keys do nothing, the loop would wait for ever; this ends it and says so.
  gaveUp = false;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 10000, GiveUp);
  RunMessageLoop(*form_);
  ::KillTimer(nullptr, timer);
  EXPECT_FALSE(gaveUp);
  EXPECT_FALSE(form_->IsOpen());
  EXPECT_EQ(platform_.journal.front(), "LockCurrentDirectory");
}

// After a pass that compacted lift.mdb, all three references are set.
class FrmMainClosingTest : public FrmMainTest {
 protected:
  void SetUp() override {
    platform_.files[u"lift.mdb"] = {"data"};
    Click(cmdLift());
    ASSERT_TRUE(form_->engine && form_->fileSystem && form_->currentFile);
  }

  void ExpectClosedKeepingOnlyCurrentFile() {
    EXPECT_FALSE(form_->IsOpen());
    EXPECT_EQ(form_->engine, nullptr);
    EXPECT_EQ(form_->fileSystem, nullptr);
    EXPECT_NE(form_->currentFile, nullptr);
    EXPECT_EQ(platform_.liveObjects(), 1);
    form_.reset();
    EXPECT_EQ(platform_.liveObjects(), 0);
  }
};

TEST_F(FrmMainClosingTest, CmdExitReleasesEngineAndFileSystem) {
  Click(cmdExit());
  ExpectClosedKeepingOnlyCurrentFile();
}

TEST_F(FrmMainClosingTest, CloseBoxReleasesEngineAndFileSystem) {
  ::SendMessageW(form_->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ExpectClosedKeepingOnlyCurrentFile();
}

TEST_F(FrmMainClosingTest, DestroyingTheWindowDirectlyStillUnloadsTheForm) {
  ::DestroyWindow(form_->window());
  ExpectClosedKeepingOnlyCurrentFile();
}

}  // namespace
}  // namespace vintrel
