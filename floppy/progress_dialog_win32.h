// The "Extracting files ..." dialog's window: template 136, modeless, owned
// by the controller window, shown by its template. It only displays what the
// controller hands it; its Exit button sets the dialog's exitPressed.
#pragma once

#include <windows.h>

#include "floppy/extraction_views.h"
#include "support/dialog_procedure_win32.h"

namespace setup::win32 {

class Win32ExtractProgressView final : public ExtractProgressView, public ModelessWindow {
 public:
  // The owner's window must exist when Create is called; the owner must
  // outlive this view.
  // Not copyable: the window belongs to one view.
  explicit Win32ExtractProgressView(DialogOwner& owner) : owner_(owner) {}
  ~Win32ExtractProgressView() override { Destroy(); }

  bool Create(ExtractProgressDialog& dialog) override;
  void Destroy() override;
  bool Exists() const override { return ModelessWindow::Exists(); }
  void SetTotalProgress(int range, int position) override;
  void SetDiskProgress(int range, int position) override;
  void SetDiskNumberText(const std::string& text) override;

  // The dialog procedure's side.
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnProcedureFailure(HWND) noexcept { owner_.OnProcedureFailure(); }

 private:
  void SetBar(int id, int range, int position);

  DialogOwner& owner_;
  ExtractProgressDialog* dialog_ = nullptr;
  // A bar took a new range or position that is not painted yet.
  bool barsChanged_ = false;
};

}  // namespace setup::win32
