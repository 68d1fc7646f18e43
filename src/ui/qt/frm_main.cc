// The Qt frmMain: its handlers keep the form's names and call straight into the pass. The log
// is kept as the pass wrote it, in a LogPaneText. After each entry the pane is given the whole
// text again, because the widget turns each CR LF into a single break.
#include "ui/qt/frm_main.h"

#include <QCloseEvent>
#include <QFont>
#include <QIcon>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "compaction/run_compaction.h"
#include "ui/frm_main_form.h"
#include "ui/qt/error_box.h"
#include "ui/qt/push_button.h"
#include "ui/qt/twips.h"

namespace vintrel {

namespace {

// A fixed frame with a title and a close box, and neither a minimise nor a maximise box.
constexpr Qt::WindowFlags kFrame = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// Where the buttons' face is missing (or lacks Cyrillic) the font system substitutes one that
// draws the Russian captions; Qt fonts have no character set to ask for. Every attribute is set
// so that none is inherited from the window's font.
QFont ButtonFont() {
  QFont font(QString::fromUtf16(form::kButtonFontFace));
  font.setPointSizeF(form::kButtonFontHundredthsOfPoint / 100.0);
  // Qt's weights are the same scale as the form's: 400 is QFont::Normal.
  font.setWeight(static_cast<QFont::Weight>(form::kButtonFontWeight));
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

}  // namespace

frmMain::frmMain(ObjectFactory& objects) : QWidget(nullptr, kFrame), CompactionHost(objects) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromUtf16(form::kCaption));
  setWindowIcon(QIcon(QStringLiteral(":/icon/vintrel.ico")));
  // The system's window-background colour, the one text panes are filled with.
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);

  // Dots per inch in the pixels widgets are laid out in; where Qt scales a dense display, its
  // scale factor makes up the rest, so the window keeps its size in inches either way.
  const double dpiX = logicalDpiX();
  const double dpiY = logicalDpiY();
  setFixedSize(TwipsToPixels(form::kClientWidth, dpiX), TwipsToPixels(form::kClientHeight, dpiY));

  cmdLift = new PushButton(QString::fromUtf16(form::kCmdLiftCaption), this);
  cmdLift->setObjectName(QStringLiteral("cmdLift"));
  cmdLift->setFont(ButtonFont());
  cmdLift->setGeometry(TwipsToPixels(form::kCmdLift, dpiX, dpiY));

  Text1 = new QPlainTextEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setGeometry(TwipsToPixels(form::kText1, dpiX, dpiY));
  Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Text1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // The pane shows only what the compaction wrote, so its text never departs from the log's;
  // it still takes the caret and a selection, from the mouse and the keyboard.
  Text1->setReadOnly(true);
  Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Text1->setUndoRedoEnabled(false);

  cmdExit = new PushButton(QString::fromUtf16(form::kCmdExitCaption), this);
  cmdExit->setObjectName(QStringLiteral("cmdExit"));
  cmdExit->setFont(ButtonFont());
  cmdExit->setGeometry(TwipsToPixels(form::kCmdExit, dpiX, dpiY));

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
  ShowErrorBox(QString::fromStdU16String(description), this);
}

}  // namespace vintrel
