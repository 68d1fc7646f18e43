// vintrel [DIR]: the window program. Shows frmMain on the folder DIR, or on the current one,
// and delivers events until the window is gone. A DIR it cannot enter, or a second argument, is
// shown in the error box instead of the window, and the program ends with status 2.
#include <QApplication>
#include <QString>
#include <stdexcept>

#include "app/enter_directory.h"
#include "platform/posix/posix_object_factory.h"
#include "ui/qt/error_box.h"
#include "ui/qt/frm_main.h"

int main(int argc, char** argv) {
  // Qt is given the program's name alone, so that no folder is taken for one of its options;
  // in storage that outlives the application object.
  static char name[] = "vintrel";
  static char* arguments[] = {name, nullptr};
  static int count = 1;
  QApplication application(count, arguments);

  if (argc > 2) {
    vintrel::ShowErrorBox(QStringLiteral("unexpected argument '%1'").arg(QString::fromLocal8Bit(argv[2])), nullptr);
    return 2;
  }
  if (argc == 2) {
    try {
      vintrel::EnterDirectory(argv[1]);
    } catch (const std::runtime_error& error) {
      vintrel::ShowErrorBox(QString::fromLocal8Bit(error.what()), nullptr);
      return 2;
    }
  }

  vintrel::PosixObjectFactory objects;
  vintrel::frmMain window(objects);
  window.show();
  application.exec();
  return 0;
}
