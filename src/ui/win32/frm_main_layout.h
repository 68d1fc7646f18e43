// The Win32 window's control identifiers; the layout itself is the shared form's.
#pragma once

#include "ui/frm_main_form.h"

namespace vintrel::layout {

// Clear of IDOK and IDCANCEL, which the dialog manager sends for the Enter and Escape keys:
// the window has neither a default nor a cancel button.
inline constexpr int kCmdLiftId = 101;
inline constexpr int kCmdExitId = 102;
inline constexpr int kText1Id = 103;

}  // namespace vintrel::layout
