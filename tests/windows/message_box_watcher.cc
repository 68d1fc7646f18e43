#include "message_box_watcher.h"

#include <stdexcept>

namespace vintrel::testing {
namespace {

MessageBoxWatcher* active = nullptr;

// The static control that shows a message box's text has this identifier.
constexpr int kMessageBoxTextId = 0xFFFF;

std::wstring ClassOf(HWND window) {
  wchar_t name[64];
  return std::wstring(name, ::GetClassNameW(window, name, 64));
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(::GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

BOOL CALLBACK FindStopIcon(HWND child, LPARAM found) {
  if (ClassOf(child) == L"Static" && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
      reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)) == ::LoadIconW(nullptr, IDI_HAND)) {
    *reinterpret_cast<bool*>(found) = true;
  }
  return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher() : timer_(::SetTimer(nullptr, 0, 50, OnTimer)) {
  if (timer_ == 0) throw std::runtime_error("no timer for the message box watcher");
  active = this;
}

MessageBoxWatcher::~MessageBoxWatcher() {
  ::KillTimer(nullptr, timer_);
  active = nullptr;
}

void MessageBoxWatcher::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (active != nullptr) {
    ::EnumThreadWindows(::GetCurrentThreadId(), OnThreadWindow, reinterpret_cast<LPARAM>(active));
  }
}

BOOL CALLBACK MessageBoxWatcher::OnThreadWindow(HWND window, LPARAM watcher) {
  if (ClassOf(window) == L"#32770" && ::IsWindowVisible(window)) {
    reinterpret_cast<MessageBoxWatcher*>(watcher)->Answer(window);
  }
  return TRUE;
}

void MessageBoxWatcher::Answer(HWND box) {
  if (!answered_.insert(box).second) return;
  ShownBox shown;
  shown.owner = ::GetWindow(box, GW_OWNER);
  shown.title = TextOf(box);
  shown.text = TextOf(::GetDlgItem(box, kMessageBoxTextId));
  shown.okOnly = ::GetDlgItem(box, IDOK) != nullptr && ::GetDlgItem(box, IDCANCEL) == nullptr;
  ::EnumChildWindows(box, FindStopIcon, reinterpret_cast<LPARAM>(&shown.stopIcon));
  boxes.push_back(shown);
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace vintrel::testing
