// The loop runs while the window is open rather than until WM_QUIT, since closing frmMain
// destroys it without posting a quit message. Each message goes to IsDialogMessage first, so Tab
// and the arrow keys move between the controls as they do in a dialog.
#include "ui/win32/message_loop.h"

namespace vintrel {

int RunMessageLoop(const frmMain& frmMain) {
  MSG message;
  while (frmMain.IsOpen()) {
    const BOOL received = ::GetMessageW(&message, nullptr, 0, 0);
    if (received == 0) return static_cast<int>(message.wParam);
    if (received < 0) return 1;
    if (!::IsDialogMessageW(frmMain.window(), &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return 0;
}

}  // namespace vintrel
