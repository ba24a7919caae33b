// The language dialog's window: template 129, modeless, owned by the
// controller window, created hidden. OK and Escape are handed to the
// portable LanguageDialog.
#pragma once

#include <windows.h>

#include "app/language_dialog.h"
#include "support/dialog_procedure_win32.h"

namespace setup::win32 {

class Win32LanguageDialogView final : public LanguageDialogView, public ModelessWindow {
 public:
  Win32LanguageDialogView() = default;
  Win32LanguageDialogView(const Win32LanguageDialogView&) = delete;
  Win32LanguageDialogView& operator=(const Win32LanguageDialogView&) = delete;
  ~Win32LanguageDialogView() override;

  // Called by the controller window once it exists: the dialog that
  // receives OK and Escape, and the owner window. Null detaches (the run is
  // going away).
  void Attach(LanguageDialog* dialog, DialogOwner* owner);
  // The dialog window, for IsDialogMessage; null when there is none.
  HWND Handle() const { return window_.get(); }

  bool Create() override;
  bool Exists() const override { return ModelessWindow::Exists(); }
  // Each code is a heap string held as the entry's item data until
  // ClearEntries, Destroy or the window's destruction frees it.
  int AddLanguage(const std::string& name, const std::string& code) override;
  int Count() const override;
  void Select(int index) override;
  int Selection() const override;
  std::optional<std::string> CodeAt(int index) const override;
  void ClearEntries() override;
  void Show() override;
  void Destroy() override;

  // The dialog procedure's side.
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnProcedureFailure(HWND) noexcept;

 private:
  LRESULT SendToList(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

  LanguageDialog* dialog_ = nullptr;
  DialogOwner* owner_ = nullptr;
};

}  // namespace setup::win32
