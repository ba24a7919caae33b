#include "floppy/temp_space_dialog_win32.h"

#include <commdlg.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "support/handles_win32.h"
#include "support/system_info_win32.h"
#include "support/text_win32.h"
#include "support/window_placement_win32.h"

namespace setup::win32 {
namespace {

// The dialog's window or template could not be made.
struct DialogCreationError {};

// Room for any path of the 9x family; a longer choice is refused by the file-open dialog
// (FNERR_BUFFERTOOSMALL) and changes nothing.
constexpr DWORD kFileBufferSize = 1024;

}  // namespace

TempSpaceDialogView::Result Win32TempSpaceDialogView::RunModal(const std::string& path,
                                                               std::string& chosen) {
  path_ = path;
  chosen_.clear();
  choosing_ = false;
  failure_ = nullptr;
  const INT_PTR answer =
      RunProgramDialog(IDD_TEMP_SPACE, nullptr, DialogProcedure<Win32TempSpaceDialogView>,
                       reinterpret_cast<LPARAM>(this));
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
      SetItemText(window, IDC_TEMP_PATH, path_);
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

namespace {

// Shows the system's file-open dialog (Dialog is the form's OPENFILENAME)
// and returns the chosen file in the program's form; nullopt when nothing
// was chosen.
template <typename Dialog, typename Char, typename GetOpenFileNameFn>
std::optional<std::string> ChooseFile(GetOpenFileNameFn getOpenFileName) {
  if (!getOpenFileName) return std::nullopt;
  std::vector<Char> file(kFileBufferSize, Char());
  const char initial[] = "*.*";
  std::copy(initial, initial + sizeof(initial), file.begin());

  Dialog dialog = {};
  // The size every system knows, the 9x family and NT 4.0 included; the
  // fields added later are not used.
  dialog.lStructSize =
      sizeof(Char) == 1 ? OPENFILENAME_SIZE_VERSION_400A : OPENFILENAME_SIZE_VERSION_400W;
  dialog.hwndOwner = nullptr;
  dialog.hInstance = ::GetModuleHandleA(nullptr);
  dialog.lpstrFilter = nullptr;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrDefExt = nullptr;
  dialog.Flags = OFN_NOVALIDATE | OFN_EXTENSIONDIFFERENT | OFN_PATHMUSTEXIST;
  if (!getOpenFileName(&dialog)) return std::nullopt;
  file.back() = Char();  // the dialog fills at most nMaxFile, terminator included
  if constexpr (sizeof(Char) == 1) {
    return std::string(file.data());
  } else {
    return Narrow(file.data());
  }
}

}  // namespace

void Win32TempSpaceDialogView::OnChange(HWND window) {
  if (choosing_) return;
  // Loaded when needed, by full path: as an import, Wine's comdlg32 would
  // bring in comctl32 (and with it uxtheme.dll) before the program has
  // restricted the DLL search.
  const ModuleHandle comdlg = LoadSystemLibrary("comdlg32.dll");
  if (!comdlg.valid()) return;
  choosing_ = true;
  // OPENFILENAME differs between the forms.
  const std::optional<std::string> file =
      UnicodeNames()
          ? ChooseFile<OPENFILENAMEW, wchar_t>(SETUP_LOOK_UP(comdlg.get(), GetOpenFileNameW))
          : ChooseFile<OPENFILENAMEA, char>(SETUP_LOOK_UP(comdlg.get(), GetOpenFileNameA));
  choosing_ = false;
  if (file) SetItemText(window, IDC_TEMP_PATH, FolderOfChosenFile(*file));
}

void Win32TempSpaceDialogView::OnOk(HWND window) {
  chosen_ = NormaliseChosenFolder(ItemText(window, IDC_TEMP_PATH));
  ::EndDialog(window, IDOK);
}

}  // namespace setup::win32
