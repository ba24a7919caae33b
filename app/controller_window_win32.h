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
  // Keyboard input for the language dialog goes through IsDialogMessage,
  // so Enter and Tab work in it. Ends on WM_QUIT, or when GetMessage fails.
  void RunMessageLoop() override;
  intptr_t SendSetupInstall() override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  Win32LanguageDialogView& languageView_;
  ControllerDialog* controller_ = nullptr;
  WindowHandle window_;
};

}  // namespace setup::win32
