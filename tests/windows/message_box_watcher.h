// Answers the message boxes this thread shows while the object lives: a timer, which the box's
// own message loop delivers, records each box and presses its OK button.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/windows/windows_api.h"

namespace vintrel::testing {

struct ShownBox {
  HWND owner = nullptr;
  std::wstring title;
  std::wstring text;
  bool okOnly = false;
  bool stopIcon = false;
};

class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();

  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  std::vector<ShownBox> boxes;

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  static BOOL CALLBACK OnThreadWindow(HWND window, LPARAM watcher);
  void Answer(HWND box);

  UINT_PTR timer_;
  std::set<HWND> answered_;
};

}  // namespace vintrel::testing
