// The "No free disk space" dialog: template 137, modal, with no parent. The
// path field is read-only; Change (the common file-open dialog) is the only
// way to alter it.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "floppy/temp_space.h"
#include "support/dialog_procedure_win32.h"

namespace setup::win32 {

class Win32TempSpaceDialogView final : public TempSpaceDialogView {
 public:
  // Throws when the dialog cannot be made (its template, its window), and
  // rethrows what a handler inside the dialog could not handle.
  Result RunModal(const std::string& path, std::string& chosen) override;

  // The dialog procedure's side. A failure is carried out of the modal
  // loop and rethrown by RunModal.
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnProcedureFailure(HWND window) noexcept;
  void ReleaseWindow(HWND) {}

 private:
  void OnChange(HWND window);
  void OnOk(HWND window);

  std::string path_;
  std::string chosen_;
  // True while the file-open dialog is up: it has no owner, so this dialog
  // stays enabled meanwhile, and a second Change must not nest another one.
  bool choosing_ = false;
  std::exception_ptr failure_;
};

}  // namespace setup::win32
