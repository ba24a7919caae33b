// The installer's mutex over OpenMutex and a message-pumping wait, with the
// small window (template 138) that a person sees meanwhile.
#pragma once

#include <windows.h>

#include "installer/installer_queue.h"
#include "support/dialog_procedure_win32.h"

namespace setup::win32 {

class Win32InstallerMutex final : public InstallerMutex {
 public:
  // The mutex of the running system (see InstallerMutexName).
  Win32InstallerMutex();

  // The mutex is opened with the right to release it: a wait that ends
  // because it is free takes it, and it is handed back at once, so that
  // the installation started next finds it free. Where that right is not
  // granted the mutex counts as free (see InstallerMutex::Wait).
  WaitEnd Wait(uint32_t milliseconds, bool untilFree, bool showWindow) override;

 private:
  const char* name_;
};

// The window of the wait: "another installation is in progress", Cancel.
class BusyWindow final : public ModelessWindow {
 public:
  // Creates and shows the window (nothing when show is false).
  explicit BusyWindow(bool show);
  // The window goes while the object is whole: its procedure runs inside.
  ~BusyWindow() { window_.reset(); }
  BusyWindow(const BusyWindow&) = delete;
  BusyWindow& operator=(const BusyWindow&) = delete;

  bool Cancelled() const { return cancelled_; }

  // The dialog procedure's side.
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Nothing in the procedure throws; should it, the wait ends as cancelled
  // rather than go on without a working Cancel.
  void OnProcedureFailure(HWND) noexcept { cancelled_ = true; }

 private:
  bool cancelled_ = false;
};

}  // namespace setup::win32
