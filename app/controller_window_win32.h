// The invisible controller window: a modeless dialog on template 102 whose
// procedure turns window messages into calls on the ControllerDialog, and
// the message loop of the run.
#pragma once

#include <windows.h>

#include "app/controller.h"
#include "app/language_dialog_win32.h"
#include "support/handles_win32.h"

namespace setup::win32 {

class Win32ControllerWindow final : public ControllerWindow {
 public:
  explicit Win32ControllerWindow(Win32LanguageDialogView& languageView)
      : languageView_(languageView) {}
  Win32ControllerWindow(const Win32ControllerWindow&) = delete;
  Win32ControllerWindow& operator=(const Win32ControllerWindow&) = delete;
  ~Win32ControllerWindow() override { Destroy(); }

  // Also hands the language view its owner window and controller.
  bool Create(ControllerDialog& controller) override;
  void Destroy() override;
  void PostSetupInstall() override;
  void PostQuit() override;
  void PostQuitToWindow() override;
  // Keyboard input for the language and progress dialogs goes through
  // IsDialogMessage, so Enter, Escape and Tab work in them. Ends on
  // WM_QUIT, or when GetMessage fails.
  void RunMessageLoop() override;
  intptr_t SendSetupInstall() override;

  // The window the worker sends to and the floppy route's dialogs are owned
  // by; null before Create and after Destroy.
  HWND Handle() const { return window_.get(); }
  ControllerDialog* Controller() const { return controller_; }
  // The extraction progress dialog while it exists, so that the loop gives
  // it keyboard input too; null when there is none.
  void SetProgressDialog(HWND dialog) { progressDialog_ = dialog; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  Win32LanguageDialogView& languageView_;
  ControllerDialog* controller_ = nullptr;
  WindowHandle window_;
  HWND progressDialog_ = nullptr;
};

}  // namespace setup::win32
