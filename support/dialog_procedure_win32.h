// The one dialog procedure of the program's windows, and the owner the
// modeless ones are made for. No exception may unwind through the system's
// frames, and a failure must not leave the message loop running with
// nothing left to end it.
#pragma once

#include <windows.h>

#include "support/handles_win32.h"
#include "support/messages.h"
#include "support/run_outcome.h"

namespace setup::win32 {

// The window the program's modeless dialogs are owned by, as they see it.
class DialogOwner {
 public:
  virtual ~DialogOwner() = default;
  // Null before the owner window exists and after it is gone.
  virtual HWND Handle() const = 0;
  // A dialog that needs keyboard input from the run's message loop (null:
  // none any more).
  virtual void SetKeyboardDialog(HWND dialog) = 0;
  // A window procedure caught an exception: reports it and ends the run.
  virtual void OnProcedureFailure() noexcept = 0;
};

// The run counts as failed, the user sees the internal error (either may be
// null when the run's objects are gone), and the message loop ends.
inline void ReportProcedureFailure(RunOutcome* outcome, Messages* messages) noexcept {
  if (outcome) outcome->Failed();
  if (messages) {
    try {
      messages->ShowInternalError();
    } catch (...) {
      // Nothing more can be shown; the quit below still ends the run.
    }
  }
  ::PostQuitMessage(0);
}

// A modeless dialog's window, released (not destroyed) once the system has
// destroyed it.
class ModelessWindow {
 public:
  bool Exists() const { return window_.valid(); }
  HWND Window() const { return window_.get(); }
  void ReleaseWindow(HWND window) {
    if (window_.get() == window) window_.release();
  }

 protected:
  WindowHandle window_;
};

// The dialog procedure for a View created with its own address as the
// creation parameter. View provides:
//   INT_PTR HandleMessage(HWND, UINT, WPARAM, LPARAM)  may throw;
//   void OnProcedureFailure(HWND) noexcept             what a throw leads to;
//   void ReleaseWindow(HWND)                           the window is gone.
// The view is stored at WM_INITDIALOG, forgotten after WM_NCDESTROY.
template <class View>
INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) ::SetWindowLongPtrA(window, DWLP_USER, lParam);
  auto* view = reinterpret_cast<View*>(::GetWindowLongPtrA(window, DWLP_USER));
  if (!view) return FALSE;
  INT_PTR result = TRUE;
  try {
    result = view->HandleMessage(window, message, wParam, lParam);
  } catch (...) {
    view->OnProcedureFailure(window);
  }
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(window, DWLP_USER, 0);
    view->ReleaseWindow(window);
    result = FALSE;
  }
  return result;
}

}  // namespace setup::win32
