// frmMain as a plain window rather than a dialog resource, so its places come from the shared
// form in twips, scaled by the screen's dots per inch; the message loop gives it a dialog's
// keyboard. One window procedure hands each message to a named handler, and Form_Unload runs
// on WM_DESTROY, which every way of closing the window reaches.
#include "ui/win32/frm_main.h"

#include "compaction/raised_error.h"
#include "compaction/run_compaction.h"
#include "platform/windows/com_error.h"
#include "platform/windows/wide_text.h"
#include "resource_ids.h"
#include "ui/win32/frm_main_layout.h"

namespace vintrel {
namespace {

constexpr wchar_t kWindowClass[] = L"frmMain";

// A fixed dialog frame with a caption and a close box: no sizing border, no minimise or
// maximise box.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

int Pixels(int twips, int dotsPerInch) { return ::MulDiv(twips, dotsPerInch, form::kTwipsPerInch); }

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(VINTREL_ICON));
  windowClass.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(VINTREL_ICON), IMAGE_ICON,
                                                        ::GetSystemMetrics(SM_CXSMICON),
                                                        ::GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  if (::RegisterClassExW(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    RaiseLastError();
  }
}

}  // namespace

frmMain::frmMain(ObjectFactory& objects, HINSTANCE instance)
    : CompactionHost(objects), instance_(instance) {
  HDC screen = ::GetDC(nullptr);
  dpiX_ = ::GetDeviceCaps(screen, LOGPIXELSX);
  dpiY_ = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);

  RegisterWindowClass(instance_, WindowProcedure);
  RECT frame{0, 0, Pixels(form::kClientWidth, dpiX_), Pixels(form::kClientHeight, dpiY_)};
  ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExtendedStyle);
  // WM_NCCREATE stores the window's handle in frmMain_.
  if (::CreateWindowExW(kWindowExtendedStyle, kWindowClass, Wide(form::kCaption), kWindowStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                        nullptr, instance_, this) == nullptr) {
    RaiseLastError();
  }
  try {
    CreateControls();
  } catch (...) {
    ::DestroyWindow(frmMain_);
    throw;
  }
  Form_Load();
}

frmMain::~frmMain() {
  if (frmMain_ != nullptr) ::DestroyWindow(frmMain_);
}

void frmMain::Show(int showCommand) {
  ::ShowWindow(frmMain_, showCommand);
  ::UpdateWindow(frmMain_);
  ::SetFocus(cmdLift_);
}

HWND frmMain::CreateControl(const wchar_t* windowClass, const wchar_t* caption, DWORD style,
                            DWORD extendedStyle, int id, const form::TwipsRect& place) {
  HWND control = ::CreateWindowExW(
      extendedStyle, windowClass, caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style,
      Pixels(place.left, dpiX_), Pixels(place.top, dpiY_), Pixels(place.width, dpiX_),
      Pixels(place.height, dpiY_), frmMain_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      instance_, nullptr);
  if (control == nullptr) RaiseLastError();
  return control;
}

void frmMain::CreateControls() {
  buttonFont_.reset(::CreateFontW(
      -::MulDiv(form::kButtonFontHundredthsOfPoint, dpiY_, 72 * 100), 0, 0, 0,
      form::kButtonFontWeight, FALSE, FALSE, FALSE, form::kButtonFontCharset, OUT_DEFAULT_PRECIS,
      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(form::kButtonFontFace)));
  if (!buttonFont_) RaiseLastError();

  // Created in tab order, which the dialog manager follows.
  cmdLift_ = CreateControl(L"BUTTON", Wide(form::kCmdLiftCaption), BS_PUSHBUTTON, 0,
                           layout::kCmdLiftId, form::kCmdLift);
  cmdExit_ = CreateControl(L"BUTTON", Wide(form::kCmdExitCaption), BS_PUSHBUTTON, 0,
                           layout::kCmdExitId, form::kCmdExit);
  // Without ES_AUTOHSCROLL the pane wraps long entries at word boundaries.
  Text1_ = CreateControl(L"EDIT", L"", ES_MULTILINE | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE,
                         layout::kText1Id, form::kText1);

  const auto buttonFont = reinterpret_cast<WPARAM>(buttonFont_.get());
  ::SendMessageW(cmdLift_, WM_SETFONT, buttonFont, FALSE);
  ::SendMessageW(cmdExit_, WM_SETFONT, buttonFont, FALSE);
  ::SendMessageW(Text1_, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  // The largest text the edit control can hold, rather than its default of 30,000 characters.
  ::SendMessageW(Text1_, EM_SETLIMITTEXT, 0, 0);
}

void frmMain::AppendLog(const std::u16string& text) {
  DWORD selectionStart = 0;
  DWORD selectionEnd = 0;
  ::SendMessageW(Text1_, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart),
                 reinterpret_cast<LPARAM>(&selectionEnd));
  const int lengthBefore = ::GetWindowTextLengthW(Text1_);
  const std::wstring wide = ToWide(text);
  ::SendMessageW(Text1_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
  ::SendMessageW(Text1_, EM_SCROLLCARET, 0, 0);
  // EM_REPLACESEL reports nothing; a pane at its limit, or out of memory, takes less text.
  const auto expected = static_cast<size_t>(lengthBefore) - (selectionEnd - selectionStart) + wide.size();
  if (static_cast<size_t>(::GetWindowTextLengthW(Text1_)) != expected) RaiseComFailure(E_OUTOFMEMORY);
}

void frmMain::ReportError(const std::u16string& description) {
  // Style 16: the stop icon and an OK button. Should the box fail to show, there is nowhere
  // else to tell the user, so the run simply ends.
  ::MessageBoxW(frmMain_, ToWide(description).c_str(), Wide(form::kErrorTitle), MB_OK | MB_ICONSTOP);
}

void frmMain::Form_Load() { ::SetWindowTextW(Text1_, L""); }

void frmMain::cmdLift_Click() { RunCompaction(*this); }

void frmMain::cmdExit_Click() { ::SendMessageW(frmMain_, WM_CLOSE, 0, 0); }

void frmMain::Form_Unload() {
  engine.reset();
  fileSystem.reset();
}

void frmMain::OnCommand(int controlId, int notification) {
  if (notification != BN_CLICKED) return;
  if (controlId == layout::kCmdLiftId) cmdLift_Click();
  if (controlId == layout::kCmdExitId) cmdExit_Click();
}

void frmMain::OnActivate(bool active) {
  if (!active) {
    HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(frmMain_, focus)) focus_ = focus;
    return;
  }
  ::SetFocus(focus_ != nullptr ? focus_ : cmdLift_);
}

// Raises nothing: every handler below either cannot fail or, as cmdLift_Click, traps its own
// failures, since an exception must not unwind through the system's frames.
LRESULT CALLBACK frmMain::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->frmMain_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<frmMain*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);

  switch (message) {
    case WM_COMMAND:
      if (lParam != 0) form->OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_ACTIVATE:
      form->OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_DESTROY:
      // Every way of closing the window ends here, after WM_CLOSE or without it.
      form->Form_Unload();
      return 0;
    case WM_NCDESTROY:
      form->frmMain_ = nullptr;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace vintrel
