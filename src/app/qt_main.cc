// vintrel: the window program. Shows frmMain and delivers events until the window is gone.
#include <QApplication>

#include "platform/posix/posix_object_factory.h"
#include "ui/qt/frm_main.h"

int main() {
  // The program reads no arguments; Qt is given its name alone, in storage that outlives the
  // application object.
  static char name[] = "vintrel";
  static char* arguments[] = {name, nullptr};
  static int count = 1;
  QApplication application(count, arguments);

  vintrel::PosixObjectFactory objects;
  vintrel::frmMain window(objects);
  window.show();
  application.exec();
  return 0;
}
