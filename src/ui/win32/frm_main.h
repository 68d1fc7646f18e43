// frmMain, the program's only window: the compress button, the log pane and the exit button.
// It is the compaction's host: it holds the three platform object references, writes the log
// into the pane and shows failures in the "ОШИБКА" box.
#pragma once

#include <memory>
#include <string>
#include <type_traits>

#include "compaction/compaction_host.h"
#include "platform/windows/windows_api.h"
#include "ui/win32/frm_main_layout.h"

namespace vintrel {

class frmMain final : public CompactionHost {
 public:
  // Creates the window and its controls, hidden, and runs Form_Load. Raises when the window
  // cannot be created.
  frmMain(ObjectFactory& objects, HINSTANCE instance);
  // Destroys the window if it is still open; currentFile is released here, with the object.
  ~frmMain() override;

  // Shows the window with the focus on cmdLift.
  void Show(int showCommand);
  // False once the window has been destroyed, by whichever route.
  bool IsOpen() const { return frmMain_ != nullptr; }
  HWND window() const { return frmMain_; }

  void AppendLog(const std::u16string& text) override;
  void ReportError(const std::u16string& description) override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  void CreateControls();
  HWND CreateControl(const wchar_t* windowClass, const wchar_t* caption, DWORD style,
                     DWORD extendedStyle, int id, const form::TwipsRect& place);

  void Form_Load();
  void cmdLift_Click();
  void cmdExit_Click();
  void Form_Unload();
  void OnCommand(int controlId, int notification);
  void OnActivate(bool active);

  struct FontDeleter {
    void operator()(HFONT font) const { ::DeleteObject(font); }
  };

  HINSTANCE instance_;
  int dpiX_;
  int dpiY_;
  HWND frmMain_ = nullptr;
  HWND cmdLift_ = nullptr;
  HWND cmdExit_ = nullptr;
  HWND Text1_ = nullptr;
  // Where the focus was when the window was last deactivated, given back on activation.
  HWND focus_ = nullptr;
  std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> buttonFont_;
};

}  // namespace vintrel
