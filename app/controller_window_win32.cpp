#include "app/controller_window_win32.h"

#include "app/controller_messages.h"
#include "resources/resource.h"
#include "support/text_win32.h"

namespace setup::win32 {

bool Win32ControllerWindow::Create(ControllerDialog& controller) {
  Destroy();
  controller_ = &controller;
  HWND created =
      CreateProgramDialog(IDD_CONTROLLER, nullptr, DialogProcedure<Win32ControllerWindow>,
                          reinterpret_cast<LPARAM>(this));
  window_.reset(created);
  if (!window_.valid()) {
    controller_ = nullptr;
    return false;
  }
  languageView_.Attach(&controller.Languages(), this);
  return true;
}

void Win32ControllerWindow::Destroy() {
  // The language dialog is owned by this window and goes with it.
  window_.reset();
  languageView_.Attach(nullptr, nullptr);
  controller_ = nullptr;
}

void Win32ControllerWindow::PostSetupInstall() {
  ::PostMessageA(window_.get(), WM_SETUP_INSTALL, 0, 0);
}

void Win32ControllerWindow::PostQuit() { ::PostQuitMessage(0); }

void Win32ControllerWindow::PostQuitToWindow() { ::PostMessageA(window_.get(), WM_QUIT, 0, 0); }

intptr_t Win32ControllerWindow::SendSetupInstall() {
  return ::SendMessageA(window_.get(), WM_SETUP_INSTALL, 0, 0);
}

void Win32ControllerWindow::RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) return;
    HWND languageDialog = languageView_.Handle();
    if (languageDialog && ::IsDialogMessageA(languageDialog, &message)) continue;
    if (progressDialog_ && ::IsDialogMessageA(progressDialog_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

void Win32ControllerWindow::OnProcedureFailure() noexcept {
  if (controller_) {
    ReportProcedureFailure(&controller_->Context().outcome, &controller_->Context().messages);
  } else {
    ReportProcedureFailure(nullptr, nullptr);
  }
}

// The private messages and WM_SYSCOMMAND still get the default processing
// afterwards (FALSE), as every other message does.
INT_PTR Win32ControllerWindow::HandleMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!controller_ || message == WM_NCDESTROY) return FALSE;
  if (message == WM_SYSCOMMAND) {
    controller_->OnSysCommand(static_cast<uint32_t>(wParam));
  } else {
    controller_->HandleMessage(message, wParam, lParam);
  }
  return FALSE;
}

}  // namespace setup::win32
