// window_driver wait|close CAPTION: waits up to 30 seconds for a top-level window with that
// caption, then with "close" asks it to close (WM_CLOSE, as the close box does). Exits 0 when
// the window was found, 1 when not, 2 on a wrong command line. Used by scripts/windows-test.sh.
#include <cwchar>

#include "platform/windows/windows_api.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 || (std::wcscmp(argv[1], L"wait") != 0 && std::wcscmp(argv[1], L"close") != 0)) return 2;
  constexpr int kPollMilliseconds = 100;
  constexpr int kTimeoutMilliseconds = 30000;
  for (int waited = 0; waited < kTimeoutMilliseconds; waited += kPollMilliseconds) {
    HWND window = ::FindWindowW(nullptr, argv[2]);
    if (window != nullptr && ::IsWindowVisible(window)) {
      if (std::wcscmp(argv[1], L"close") == 0) ::PostMessageW(window, WM_CLOSE, 0, 0);
      return 0;
    }
    ::Sleep(kPollMilliseconds);
  }
  return 1;
}
