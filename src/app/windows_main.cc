// vintrel.exe: COM for the window's thread, the main window, its messages until it is gone.
#include "compaction/raised_error.h"
#include "platform/windows/com_apartment.h"
#include "platform/windows/com_object_factory.h"
#include "platform/windows/wide_text.h"
#include "ui/win32/frm_main.h"
#include "ui/win32/message_loop.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  try {
    // Declared in this order so that the window, and currentFile with it, goes before the
    // factory and COM itself.
    const vintrel::ComApartment apartment;
    vintrel::ComObjectFactory objects;
    vintrel::frmMain frmMain(objects, instance);
    frmMain.Show(showCommand);
    return vintrel::RunMessageLoop(frmMain);
  } catch (const vintrel::RaisedError& failure) {
    // Only start-up can fail here: COM or the window could not be set up.
    ::MessageBoxW(nullptr, vintrel::ToWide(failure.description()).c_str(), L"ОШИБКА",
                  MB_OK | MB_ICONSTOP);
    return 1;
  }
}
