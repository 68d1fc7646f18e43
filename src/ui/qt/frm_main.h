// frmMain, the program's only window: the compress button, the log pane and the exit button.
// It is the compaction's host: it holds the three platform object references and the log's
// text for the program's life, and shows failures in a modal message box.
#pragma once

#include <QWidget>
#include <string>

#include "compaction/compaction_host.h"
#include "ui/qt/log_pane_text.h"

class QCloseEvent;
class QPlainTextEdit;

namespace vintrel {

class PushButton;

class frmMain final : public QWidget, public CompactionHost {
  Q_OBJECT

 public:
  explicit frmMain(ObjectFactory& objects);

  void AppendLog(const std::u16string& text) override;
  void ReportError(const std::u16string& description) override;

  // The log pane's text as the entries were written, CR LF line breaks included.
  const std::u16string& LogText() const { return logText_.text(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Form_Load();
  void cmdLift_Click();
  void cmdExit_Click();
  void Form_Unload();

  // Children of the window, which deletes them.
  PushButton* cmdLift;
  QPlainTextEdit* Text1;
  PushButton* cmdExit;

  LogPaneText logText_;
};

}  // namespace vintrel
