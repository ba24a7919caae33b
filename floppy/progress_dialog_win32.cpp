#include "floppy/progress_dialog_win32.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "support/text_win32.h"
#include "support/window_placement_win32.h"

namespace setup::win32 {
namespace {

constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT kRepaintInterval = 33;  // milliseconds

}  // namespace

bool Win32ExtractProgressView::Create(ExtractProgressDialog& dialog) {
  Destroy();
  dialog_ = &dialog;
  HWND created = CreateProgramDialog(IDD_EXTRACT_PROGRESS, owner_.Handle(),
                                     DialogProcedure<Win32ExtractProgressView>,
                                     reinterpret_cast<LPARAM>(this));
  window_.reset(created);
  if (!window_.valid()) return false;
  owner_.SetKeyboardDialog(window_.get());
  return true;
}

void Win32ExtractProgressView::Destroy() { window_.reset(); }

void Win32ExtractProgressView::SetTotalProgress(int range, int position) {
  SetBar(IDC_TOTAL_BAR, range, position);
}

void Win32ExtractProgressView::SetDiskProgress(int range, int position) {
  SetBar(IDC_DISK_BAR, range, position);
}

void Win32ExtractProgressView::SetDiskNumberText(const std::string& text) {
  if (window_.valid()) SetItemText(window_.get(), IDC_DISK_NUMBER, text);
}

// Wine repaints a progress bar at once on every PBM_SETPOS, which costs far
// more than the copy of a chunk, and a paint after each of the worker's
// messages still bounds the copy by the repaints. So the bars take every
// range and position with redraw off, and the repaint timer shows their
// latest state about thirty times a second.
void Win32ExtractProgressView::SetBar(int id, int range, int position) {
  if (!window_.valid()) return;
  HWND bar = ::GetDlgItem(window_.get(), id);
  if (!bar) return;
  ::SendMessageA(bar, WM_SETREDRAW, FALSE, 0);
  ::SendMessageA(bar, PBM_SETRANGE32, 0, range);
  ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  ::SendMessageA(bar, WM_SETREDRAW, TRUE, 0);
  barsChanged_ = true;
}

INT_PTR Win32ExtractProgressView::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterOnWorkArea(window);
      barsChanged_ = false;
      ::SetTimer(window, kRepaintTimer, kRepaintInterval, nullptr);
      return TRUE;
    case WM_TIMER:
      if (wParam != kRepaintTimer) return FALSE;
      if (barsChanged_) {
        barsChanged_ = false;
        ::InvalidateRect(::GetDlgItem(window, IDC_TOTAL_BAR), nullptr, FALSE);
        ::InvalidateRect(::GetDlgItem(window, IDC_DISK_BAR), nullptr, FALSE);
      }
      return TRUE;
    case WM_COMMAND:
      // Exit only asks the worker to stop; the dialog stays until the worker
      // reports its end. Enter and Escape arrive as IDOK and IDCANCEL and are
      // swallowed, so neither closes the dialog under the copy.
      if (LOWORD(wParam) == IDC_EXTRACT_EXIT && HIWORD(wParam) == BN_CLICKED) {
        if (dialog_) dialog_->OnExitPressed();
        return TRUE;
      }
      return LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL;
    case WM_NCDESTROY:
      owner_.SetKeyboardDialog(nullptr);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace setup::win32
