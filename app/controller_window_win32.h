// The invisible controller window: a modeless dialog on template 102 whose
// procedure turns window messages into calls on the ControllerDialog, and
// the message loop of the run.
#pragma once

#include <windows.h>

#include "app/controller.h"
#include "app/language_dialog_win32.h"
#include "support/dialog_procedure_win32.h"

namespace setup::win32 {

class Win32ControllerWindow final : public ControllerWindow,
                                    public DialogOwner,
                                    public ModelessWindow {
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

  // DialogOwner: the window the worker sends to and the dialogs are owned
  // by; null before Create and after Destroy. The keyboard dialog is the
  // extraction progress dialog while it exists.
  HWND Handle() const override { return window_.get(); }
  void SetKeyboardDialog(HWND dialog) override { progressDialog_ = dialog; }
  void OnProcedureFailure() noexcept override;

  // The dialog procedure's side.
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnProcedureFailure(HWND) noexcept { OnProcedureFailure(); }

 private:
  Win32LanguageDialogView& languageView_;
  ControllerDialog* controller_ = nullptr;
  HWND progressDialog_ = nullptr;
};

}  // namespace setup::win32
