#include "floppy/temp_space_dialog_win32.h"

#include <commdlg.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "support/handles_win32.h"
#include "support/system_info_win32.h"
#include "support/window_placement_win32.h"

namespace setup::win32 {
namespace {

// The dialog's window or template could not be made.
struct DialogCreationError {};

// Room for any ANSI path; a longer choice is refused by the file-open dialog
// (FNERR_BUFFERTOOSMALL) and changes nothing.
constexpr DWORD kFileBufferSize = 1024;

std::string ItemText(HWND window, int id) {
  HWND item = ::GetDlgItem(window, id);
  const int length = item ? ::GetWindowTextLengthA(item) : 0;
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
  const int copied = ::GetWindowTextA(item, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

}  // namespace

TempSpaceDialogView::Result Win32TempSpaceDialogView::RunModal(const std::string& path,
                                                               std::string& chosen) {
  path_ = path;
  chosen_.clear();
  choosing_ = false;
  failure_ = nullptr;
  const INT_PTR answer =
      ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TEMP_SPACE), nullptr,
                        DialogProcedure<Win32TempSpaceDialogView>, reinterpret_cast<LPARAM>(this));
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  if (answer == -1) throw DialogCreationError{};
  if (answer != IDOK) return Result::Exit;  // Exit, Escape, or a quit message ending the loop
  chosen = chosen_;
  return Result::Ok;
}

void Win32TempSpaceDialogView::OnProcedureFailure(HWND window) noexcept {
  failure_ = std::current_exception();
  ::EndDialog(window, IDCANCEL);
}

INT_PTR Win32TempSpaceDialogView::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterOnWorkArea(window);
      ::SetDlgItemTextA(window, IDC_TEMP_PATH, path_.c_str());
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_TEMP_CHANGE:
          OnChange(window);
          return TRUE;
        case IDOK:
          OnOk(window);
          return TRUE;
        case IDCANCEL:
          ::EndDialog(window, IDCANCEL);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

void Win32TempSpaceDialogView::OnChange(HWND window) {
  if (choosing_) return;
  std::vector<char> file(kFileBufferSize, '\0');
  const char initial[] = "*.*";
  std::copy(initial, initial + sizeof(initial), file.begin());

  OPENFILENAMEA dialog = {};
  // The size every system knows, the 9x family and NT 4.0 included; the
  // fields added later are not used.
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.hwndOwner = nullptr;
  dialog.hInstance = ::GetModuleHandleA(nullptr);
  dialog.lpstrFilter = nullptr;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrDefExt = nullptr;
  dialog.Flags = OFN_NOVALIDATE | OFN_EXTENSIONDIFFERENT | OFN_PATHMUSTEXIST;

  // Loaded when needed, by full path: as an import, Wine's comdlg32 would
  // bring in comctl32 (and with it uxtheme.dll) before the program has
  // restricted the DLL search.
  const std::optional<std::string> system = Win32SystemInfo().SystemFolder();
  if (!system) return;
  const ModuleHandle comdlg(::LoadLibraryA((*system + "\\comdlg32.dll").c_str()));
  using GetOpenFileNameFn = BOOL(WINAPI*)(LPOPENFILENAMEA);
  const auto getOpenFileName = comdlg.valid()
                                   ? reinterpret_cast<GetOpenFileNameFn>(reinterpret_cast<void*>(
                                         ::GetProcAddress(comdlg.get(), "GetOpenFileNameA")))
                                   : nullptr;
  if (!getOpenFileName) return;
  choosing_ = true;
  const BOOL confirmed = getOpenFileName(&dialog);
  choosing_ = false;
  if (!confirmed) return;
  file.back() = '\0';  // the dialog fills at most nMaxFile, terminator included
  ::SetDlgItemTextA(window, IDC_TEMP_PATH, FolderOfChosenFile(file.data()).c_str());
}

void Win32TempSpaceDialogView::OnOk(HWND window) {
  chosen_ = NormaliseChosenFolder(ItemText(window, IDC_TEMP_PATH));
  ::EndDialog(window, IDOK);
}

}  // namespace setup::win32
