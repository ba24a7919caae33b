#include "app/language_dialog_win32.h"

#include <memory>

#include "resources/resource.h"
#include "support/text_win32.h"
#include "support/window_placement_win32.h"

namespace setup::win32 {
namespace {

// The code attached to an entry, or null. CB_ERR is never a pointer we
// stored.
std::string* AttachedCode(HWND list, WPARAM index) {
  const LRESULT data = ::SendMessageA(list, CB_GETITEMDATA, index, 0);
  return (data == CB_ERR || data == 0) ? nullptr : reinterpret_cast<std::string*>(data);
}

// Deletes every attached code and detaches it, so that no later pass can
// delete it again. Works on a window that is being destroyed.
void FreeCodes(HWND dialog) {
  HWND list = ::GetDlgItem(dialog, IDC_LANGUAGE_LIST);
  if (!list) return;
  const LRESULT count = ::SendMessageA(list, CB_GETCOUNT, 0, 0);
  for (LRESULT index = 0; index < count; ++index) {
    std::string* code = AttachedCode(list, static_cast<WPARAM>(index));
    if (!code) continue;
    ::SendMessageA(list, CB_SETITEMDATA, static_cast<WPARAM>(index), 0);
    delete code;
  }
}

}  // namespace

Win32LanguageDialogView::~Win32LanguageDialogView() { Destroy(); }

void Win32LanguageDialogView::Attach(LanguageDialog* dialog, DialogOwner* owner) {
  dialog_ = dialog;
  owner_ = owner;
}

bool Win32LanguageDialogView::Create() {
  Destroy();
  HWND created =
      CreateProgramDialog(IDD_LANGUAGE, owner_ ? owner_->Handle() : nullptr,
                          DialogProcedure<Win32LanguageDialogView>, reinterpret_cast<LPARAM>(this));
  window_.reset(created);
  return window_.valid();
}

int Win32LanguageDialogView::AddLanguage(const std::string& name, const std::string& code) {
  if (!window_.valid()) return CB_ERR;
  // The list sorts its entries itself (CBS_SORT), by the system's collation
  // of the texts it holds: in the Unicode mode the UTF-16 names, so a name
  // in any script shows as the package stores it.
  const LRESULT index = AddListEntry(::GetDlgItem(window_.get(), IDC_LANGUAGE_LIST), name);
  if (index < 0) return static_cast<int>(index);
  if (!code.empty()) {
    auto attached = std::make_unique<std::string>(code);
    if (SendToList(CB_SETITEMDATA, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(attached.get())) != CB_ERR) {
      attached.release();  // the list holds it now
    }
  }
  return static_cast<int>(index);
}

int Win32LanguageDialogView::Count() const {
  const LRESULT count = SendToList(CB_GETCOUNT);
  return count < 0 ? 0 : static_cast<int>(count);
}

void Win32LanguageDialogView::Select(int index) {
  SendToList(CB_SETCURSEL, static_cast<WPARAM>(index));
}

int Win32LanguageDialogView::Selection() const {
  return static_cast<int>(SendToList(CB_GETCURSEL));
}

std::optional<std::string> Win32LanguageDialogView::CodeAt(int index) const {
  if (!window_.valid() || index < 0) return std::nullopt;
  const std::string* code =
      AttachedCode(::GetDlgItem(window_.get(), IDC_LANGUAGE_LIST), static_cast<WPARAM>(index));
  if (!code) return std::nullopt;
  return *code;
}

void Win32LanguageDialogView::ClearEntries() {
  if (!window_.valid()) return;
  FreeCodes(window_.get());
  SendToList(CB_RESETCONTENT);
}

void Win32LanguageDialogView::Show() {
  if (!window_.valid()) return;
  ::ShowWindow(window_.get(), SW_SHOW);
  ::SetFocus(window_.get());
}

void Win32LanguageDialogView::Destroy() {
  if (!window_.valid()) return;
  FreeCodes(window_.get());
  window_.reset();
}

LRESULT Win32LanguageDialogView::SendToList(UINT message, WPARAM wParam, LPARAM lParam) const {
  if (!window_.valid()) return CB_ERR;
  return ::SendDlgItemMessageA(window_.get(), IDC_LANGUAGE_LIST, message, wParam, lParam);
}

void Win32LanguageDialogView::OnProcedureFailure(HWND) noexcept {
  if (owner_) {
    owner_->OnProcedureFailure();
  } else {
    ReportProcedureFailure(nullptr, nullptr);
  }
}

INT_PTR Win32LanguageDialogView::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterOnWorkArea(window);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        // The install step runs inside OnOK and destroys this window:
        // nothing of it may be touched afterwards.
        if (dialog_) dialog_->OnOK();
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        if (dialog_) dialog_->OnCancel();
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      // Also when the window goes with its owner, without Destroy().
      FreeCodes(window);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace setup::win32
