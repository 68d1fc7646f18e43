// The window's message loop, with the dialog manager's keyboard navigation between controls.
#pragma once

#include "ui/win32/frm_main.h"

namespace vintrel {

// Delivers messages until the window is gone (or WM_QUIT arrives); returns the exit status.
int RunMessageLoop(const frmMain& frmMain);

}  // namespace vintrel
