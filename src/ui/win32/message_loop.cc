#include "ui/win32/message_loop.h"

namespace vintrel {

int RunMessageLoop(const FrmMain& frmMain) {
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
