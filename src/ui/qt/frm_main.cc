#include "ui/qt/frm_main.h"

#include <QCloseEvent>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "compaction/run_compaction.h"
#include "ui/qt/push_button.h"
#include "ui/qt/twips.h"

namespace vintrel {

namespace {

// The form as designed, in twips from the top-left corner of the client area.
constexpr int kClientWidth = 3405;
constexpr int kClientHeight = 4500;
constexpr TwipsRect kCmdLift{200, 250, 1500, 500};
constexpr TwipsRect kText1{200, 1000, 3000, 2500};
constexpr TwipsRect kCmdExit{200, 3750, 1500, 500};

// A fixed frame with a title and a close box, and neither a minimise nor a maximise box.
constexpr Qt::WindowFlags kFrame = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// "MS Sans Serif" 9.75 pt, the buttons' face; where it is missing (or lacks Cyrillic) the font
// system substitutes one that draws the Russian captions. Every attribute is set so that none
// is inherited from the window's font.
QFont ButtonFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPointSizeF(9.75);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

}  // namespace

frmMain::frmMain(ObjectFactory& objects) : QWidget(nullptr, kFrame), CompactionHost(objects) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Vintrel"));
  setWindowIcon(QIcon(QStringLiteral(":/icon/vintrel.ico")));
  // The system's window-background colour, the one text panes are filled with.
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);

  // Dots per inch in the pixels widgets are laid out in; where Qt scales a dense display, its
  // scale factor makes up the rest, so the window keeps its size in inches either way.
  const double dpiX = logicalDpiX();
  const double dpiY = logicalDpiY();
  setFixedSize(TwipsToPixels(kClientWidth, dpiX), TwipsToPixels(kClientHeight, dpiY));

  cmdLift = new PushButton(QStringLiteral("Сжать"), this);
  cmdLift->setObjectName(QStringLiteral("cmdLift"));
  cmdLift->setFont(ButtonFont());
  cmdLift->setGeometry(TwipsToPixels(kCmdLift, dpiX, dpiY));

  Text1 = new QPlainTextEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setGeometry(TwipsToPixels(kText1, dpiX, dpiY));
  Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Text1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // The pane shows only what the compaction wrote, so its text never departs from the log's;
  // it still takes the caret and a selection, from the mouse and the keyboard.
  Text1->setReadOnly(true);
  Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Text1->setUndoRedoEnabled(false);

  cmdExit = new PushButton(QStringLiteral("Выход"), this);
  cmdExit->setObjectName(QStringLiteral("cmdExit"));
  cmdExit->setFont(ButtonFont());
  cmdExit->setGeometry(TwipsToPixels(kCmdExit, dpiX, dpiY));

  // The buttons first, then the pane: not the top-to-bottom order the controls were made in.
  setTabOrder(cmdLift, cmdExit);
  setTabOrder(cmdExit, Text1);
  cmdLift->setFocus();

  connect(cmdLift, &QPushButton::clicked, this, &frmMain::cmdLift_Click);
  connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);

  Form_Load();
}

void frmMain::Form_Load() {
  logText_.Clear();
  Text1->clear();
}

void frmMain::cmdLift_Click() { RunCompaction(*this); }

void frmMain::cmdExit_Click() { close(); }

void frmMain::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

void frmMain::Form_Unload() {
  engine.reset();
  fileSystem.reset();
}

void frmMain::AppendLog(const std::u16string& text) {
  const QTextCursor selection = Text1->textCursor();
  const size_t caret = logText_.Replace(static_cast<size_t>(selection.selectionStart()),
                                        static_cast<size_t>(selection.selectionEnd()), text);
  Text1->setPlainText(QString::fromStdU16String(logText_.PaneText()));
  QTextCursor after = Text1->textCursor();
  after.setPosition(static_cast<int>(caret));
  Text1->setTextCursor(after);
  Text1->ensureCursorVisible();
}

void frmMain::ReportError(const std::u16string& description) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("ОШИБКА"),
                  QString::fromStdU16String(description), QMessageBox::Ok, this);
  // The description is shown as it is, never read as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace vintrel
