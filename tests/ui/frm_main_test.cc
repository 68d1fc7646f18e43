// The window offscreen, driven through its controls with real clicks and key presses, over the
// scripted platform.
#include "ui/qt/frm_main.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImageReader>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <functional>

#include "compaction/database_list.h"
#include "scripted_platform.h"

namespace vintrel {
namespace {

using testing::ScriptedPlatform;

constexpr char16_t kAllOk[] =
    u"lift.mdb ok\r\nlog.mdb ok\r\nprof.mdb ok\r\nrang_lift.mdb ok\r\nrang_log.mdb ok\r\n"
    u"rang_prof.mdb ok\r\n";
constexpr char16_t kNoneFound[] =
    u"lift.mdb not found\r\nlog.mdb not found\r\nprof.mdb not found\r\n"
    u"rang_lift.mdb not found\r\nrang_log.mdb not found\r\nrang_prof.mdb not found\r\n";

void AddAllSix(ScriptedPlatform& platform) {
  for (auto name : DatabaseList) platform.files[std::u16string(name) + u".mdb"] = {"data"};
}

QPushButton* Button(QWidget& window, const char* name) { return window.findChild<QPushButton*>(name); }

void ShowAndActivate(QWidget& window) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ShowAndActivate(*window); }

  QPushButton* Button(const char* name) const { return vintrel::Button(*window, name); }
  QPlainTextEdit* Pane() const { return window->findChild<QPlainTextEdit*>("Text1"); }
  void Compress() const { QTest::mouseClick(Button("cmdLift"), Qt::LeftButton); }

  ScriptedPlatform platform;
  std::unique_ptr<frmMain> window = std::make_unique<frmMain>(platform);
};

using WindowLayout = WindowTest;
using WindowKeyboard = WindowTest;
using WindowRun = WindowTest;
using WindowErrorBox = WindowTest;
using WindowClose = WindowTest;

TEST_F(WindowLayout, FixedClientAreaAndControlsAtTheDisplaysDotsPerInch) {
  struct Layout {
    QSize client;
    QRect lift, pane, exit;
  } expected;
  const int dpi = window->logicalDpiX();
  if (const char* wanted = std::getenv("VINTREL_TEST_DPI")) {
    ASSERT_EQ(dpi, std::atoi(wanted)) << "the display was not set up at the dpi the test asks for";
  }
  if (dpi == 96) {
    expected = {{227, 300}, {13, 17, 100, 33}, {13, 67, 200, 167}, {13, 250, 100, 33}};
  } else if (dpi == 144) {
    expected = {{341, 450}, {20, 25, 150, 50}, {20, 100, 300, 250}, {20, 375, 150, 50}};
  } else {
    GTEST_SKIP() << "layout expectations exist for 96 and 144 dpi; this display has " << dpi;
  }
  EXPECT_EQ(window->size(), expected.client);
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_EQ(Button("cmdLift")->geometry(), expected.lift);
  EXPECT_EQ(Pane()->geometry(), expected.pane);
  EXPECT_EQ(Button("cmdExit")->geometry(), expected.exit);

  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

TEST_F(WindowLayout, CaptionsColoursAndPane) {
  EXPECT_EQ(window->windowTitle(), "Vintrel");
  EXPECT_EQ(Button("cmdLift")->text(), QStringLiteral("Сжать"));
  EXPECT_EQ(Button("cmdExit")->text(), QStringLiteral("Выход"));
  EXPECT_TRUE(Pane()->toPlainText().isEmpty());
  EXPECT_EQ(window->backgroundRole(), QPalette::Base);
  EXPECT_TRUE(window->autoFillBackground());
  EXPECT_EQ(Pane()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(Pane()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(Pane()->font(), window->font());
}

TEST_F(WindowLayout, ButtonsAskForMsSansSerifAndDrawTheirCyrillicCaptions) {
  for (const char* name : {"cmdLift", "cmdExit"}) {
    QPushButton* button = Button(name);
    const QFont font = button->font();
    EXPECT_EQ(font.family(), "MS Sans Serif") << name;
    EXPECT_EQ(font.pointSizeF(), 9.75) << name;
    EXPECT_EQ(font.weight(), QFont::Normal) << name;
    EXPECT_FALSE(font.italic() || font.underline() || font.strikeOut()) << name;
    const QFontMetrics metrics(font);
    for (QChar letter : button->text()) EXPECT_TRUE(metrics.inFont(letter)) << name;
    EXPECT_FALSE(button->isDefault() || button->autoDefault()) << name;
  }
}

TEST_F(WindowLayout, IconCarriesThreeImages) {
  QImageReader icon(":/icon/vintrel.ico");
  EXPECT_EQ(icon.imageCount(), 3);
  const QList<QSize> sizes = window->windowIcon().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(32, 32)) && sizes.contains(QSize(16, 16)));
}

TEST_F(WindowKeyboard, FocusStartsOnCompressAndTabGoesButtonsThenPane) {
  EXPECT_EQ(QApplication::focusWidget(), Button("cmdLift"));
  for (const char* next : {"cmdExit", "Text1", "cmdLift"}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), next);
  }
}

TEST_F(WindowKeyboard, SpaceAndEnterPressTheFocusedButtonOnly) {
  QTest::keyClick(Button("cmdLift"), Qt::Key_Space);
  QTest::keyClick(Button("cmdLift"), Qt::Key_Return);
  EXPECT_EQ(window->LogText(), std::u16string(kNoneFound) + kNoneFound);

  Pane()->setFocus();
  QTest::keyClick(Pane(), Qt::Key_Return);
  EXPECT_EQ(window->LogText(), std::u16string(kNoneFound) + kNoneFound);
  EXPECT_TRUE(window->isVisible());

  QTest::keyClick(Button("cmdExit"), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowRun, EntriesFollowEachOtherAndTheCaretEndsAfterThem) {
  EXPECT_TRUE(window->LogText().empty());
  Compress();
  Compress();
  EXPECT_EQ(window->LogText(), std::u16string(kNoneFound) + kNoneFound);
  EXPECT_EQ(Pane()->toPlainText(), QString::fromStdU16String(window->LogText()).replace("\r\n", "\n"));
  EXPECT_FALSE(Pane()->textCursor().hasSelection());
  EXPECT_TRUE(Pane()->textCursor().atEnd());
}

TEST_F(WindowRun, CaretAtTheStartPutsTheNextRunsEntriesFirst) {
  Compress();
  QTest::keyClick(Pane(), Qt::Key_Home, Qt::ControlModifier);
  AddAllSix(platform);
  Compress();
  EXPECT_EQ(window->LogText(), std::u16string(kAllOk) + kNoneFound);
  EXPECT_EQ(Pane()->textCursor().position(), QString::fromStdU16String(kAllOk).replace("\r\n", "\n").size());
}

TEST_F(WindowRun, SelectionAcrossALineBreakIsReplaced) {
  Compress();
  QTextCursor selection = Pane()->textCursor();
  selection.setPosition(5);  // "lift.|mdb not found", then "log.|mdb not found"
  selection.setPosition(23, QTextCursor::KeepAnchor);
  Pane()->setTextCursor(selection);
  AddAllSix(platform);
  Compress();
  EXPECT_EQ(window->LogText(), std::u16string(kNoneFound).replace(5, 19, kAllOk));
  EXPECT_FALSE(Pane()->textCursor().hasSelection());
}

TEST_F(WindowRun, PaneWrapsAndScrollsToKeepTheCaretInView) {
  for (int run = 0; run < 3; ++run) Compress();
  window->AppendLog(std::u16string(300, u'x') + u"\r\n");
  EXPECT_GT(Pane()->verticalScrollBar()->value(), 0);
  EXPECT_TRUE(Pane()->viewport()->rect().contains(Pane()->cursorRect()));
  EXPECT_EQ(Pane()->horizontalScrollBar()->maximum(), 0);
  EXPECT_GT(Pane()->document()->lastBlock().previous().layout()->lineCount(), 1);
}

TEST_F(WindowRun, TextComesBackExactlyAsWritten) {
  for (const char16_t* entry : {u"a\rb", u"\u00a0\nc\r", u"\nd\r\n"}) window->AppendLog(entry);
  EXPECT_EQ(window->LogText(), u"a\rb\u00a0\nc\r\nd\r\n");
}

// Checks the message box shown next as the user sees it, then closes it with a click on its one
// button; `shown` tells that it came.
void ExpectErrorBox(const QWidget* owner, const QString& text, bool& shown) {
  QTimer::singleShot(0, [owner, text, &shown] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown = true;
    EXPECT_EQ(box->windowTitle(), QStringLiteral("ОШИБКА"));
    EXPECT_EQ(box->text(), text);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->parentWidget(), owner);
    EXPECT_TRUE(box->isModal());
    ASSERT_EQ(box->buttons().size(), 1);
    QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
  });
}

TEST_F(WindowErrorBox, ShowsTheDescriptionAndLeavesTheWindowIdle) {
  AddAllSix(platform);
  platform.FailCallsStartingWith("CompactDatabase Provider=Microsoft.Jet.OLEDB.4.0;Data Source=prof.mdb",
                                 u"Диск <b>полон</b>");
  bool shown = false;
  ExpectErrorBox(window.get(), QStringLiteral("Диск <b>полон</b>"), shown);
  Compress();
  EXPECT_TRUE(shown);
  EXPECT_EQ(window->LogText(), u"lift.mdb ok\r\nlog.mdb ok\r\n");
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(WindowErrorBox, EmptyDescriptionGivesEmptyText) {
  platform.FailCall(0, u"");
  bool shown = false;
  ExpectErrorBox(window.get(), QString(), shown);
  Compress();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(window->LogText().empty());
}

class WindowCloseAfterRun : public WindowTest {
 protected:
  void RunThenClose(const std::function<void()>& closeWindow) {
    AddAllSix(platform);
    Compress();
    ASSERT_TRUE(window->engine && window->fileSystem && window->currentFile);
    closeWindow();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->engine || window->fileSystem);
    EXPECT_EQ(platform.liveObjects(), 1) << "currentFile lives as long as the window";
    window.reset();
    EXPECT_EQ(platform.liveObjects(), 0);
  }
};

TEST_F(WindowCloseAfterRun, ExitButtonReleasesEngineAndFileSystem) {
  RunThenClose([this] { QTest::mouseClick(Button("cmdExit"), Qt::LeftButton); });
}

TEST_F(WindowCloseAfterRun, CloseBoxReleasesEngineAndFileSystem) {
  RunThenClose([this] { window->windowHandle()->close(); });
}

TEST_F(WindowClose, ExitBeforeAnyRunTouchesNothing) {
  QTest::mouseClick(Button("cmdExit"), Qt::LeftButton);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(platform.journal.empty());
}

// Object creation through the scripted platform that first posts a click, as if the user
// clicked while the run was going on.
class ClickDuringRun final : public ObjectFactory {
 public:
  explicit ClickDuringRun(ScriptedPlatform& platform) : platform_(platform) {}

  std::shared_ptr<PlatformObject> CreateObject(ClassId classId) override {
    if (target != nullptr) {
      const QPointF centre = QRectF(target->rect()).center();
      for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QCoreApplication::postEvent(target, new QMouseEvent(type, centre, target->mapToGlobal(centre),
                                                             Qt::LeftButton, Qt::LeftButton, {}));
      }
      target = nullptr;
    }
    return platform_.CreateObject(classId);
  }
  std::unique_ptr<DirectoryLock> LockCurrentDirectory() override { return platform_.LockCurrentDirectory(); }

  QWidget* target = nullptr;

 private:
  ScriptedPlatform& platform_;
};

TEST(WindowInput, ClickDuringARunIsHandledAfterIt) {
  ScriptedPlatform platform;
  ClickDuringRun objects(platform);
  frmMain window(objects);
  ShowAndActivate(window);
  objects.target = Button(window, "cmdExit");

  QTest::mouseClick(Button(window, "cmdLift"), Qt::LeftButton);
  EXPECT_EQ(window.LogText(), kNoneFound);
  EXPECT_TRUE(window.isVisible());

  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.fileSystem);
}

}  // namespace
}  // namespace vintrel
