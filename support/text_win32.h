// Where names and texts cross to Windows, and in which form.
//
// The program's 8-bit strings hold names and texts in one of two forms,
// chosen once at start by ChooseTextMode:
//  - Unicode names (the NT family): the strings hold UTF-8 and every name
//    and text goes through the Unicode (W) functions of Windows. A '\' or
//    '.' byte is then always that character: no lead-byte test is
//    installed.
//  - ANSI names (the 9x family, whose W functions are mostly stubs that
//    fail): the strings hold the system's ANSI code page and go through the
//    A functions; the code page's lead-byte test is installed for the
//    double-byte searching and trimming.
// Every operation below holds both paths. A caller hands WithNames or
// ReadText the call of each form (with the form's own structure where they
// differ: find data, STARTUPINFO, SHELLEXECUTEINFO) and never asks for the
// mode, except to pick the form of OPENFILENAME and for the manifest codec,
// which converts into the mode's form. Widen and Narrow convert between the
// current form and UTF-16, over the one ANSI conversion pair of this layer;
// nothing else in the program converts names.
#pragma once

#include <windows.h>
// (needs <windows.h> first)
#include <shellapi.h>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/platform.h"

// msvcrt's split of the Unicode command line, by the same rules as the ANSI
// one; MinGW's headers do not declare it.
extern "C" int __cdecl __wgetmainargs(int* count, wchar_t*** arguments, wchar_t*** environment,
                                      int expandWildcards, int* newMode);

namespace setup::win32 {

// The export name of module as a pointer of type Function; null when the
// module or the export is missing.
template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  const FARPROC found = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The export of module named as the API function name, typed as that
// function is declared: the name and the type come from the one token.
#define SETUP_LOOK_UP(module, name) ::setup::win32::LookUp<decltype(&::name)>(module, #name)

// The W functions of the Unicode mode, each with the module that exports
// it. They are looked up at start rather than imported: Windows 95 exports
// many W names only as stubs, and which ones it exports at all is not
// documented, so an import could keep the program from loading there.
#define SETUP_WIDE_FUNCTIONS(X)     \
  X(kernel32, GetModuleFileNameW)   \
  X(kernel32, GetCurrentDirectoryW) \
  X(kernel32, SetCurrentDirectoryW) \
  X(kernel32, GetTempPathW)         \
  X(kernel32, GetSystemDirectoryW)  \
  X(kernel32, FindFirstFileW)       \
  X(kernel32, FindNextFileW)        \
  X(kernel32, CreateDirectoryW)     \
  X(kernel32, RemoveDirectoryW)     \
  X(kernel32, DeleteFileW)          \
  X(kernel32, CreateFileW)          \
  X(kernel32, GetDiskFreeSpaceExW)  \
  X(kernel32, CreateProcessW)       \
  X(kernel32, FormatMessageW)       \
  X(kernel32, LoadLibraryW)         \
  X(user32, MessageBoxW)            \
  X(user32, CreateDialogParamW)     \
  X(user32, DialogBoxParamW)        \
  X(user32, SetDlgItemTextW)        \
  X(user32, GetWindowTextW)         \
  X(user32, GetWindowTextLengthW)   \
  X(user32, SendMessageW)           \
  X(shell32, ShellExecuteExW)       \
  X(msvcrt, __wgetmainargs)

// Each member is named as the W function it holds and has its type.
struct WideFunctions {
#define SETUP_WIDE_MEMBER(module, name) decltype(&::name) name = nullptr;
  SETUP_WIDE_FUNCTIONS(SETUP_WIDE_MEMBER)
#undef SETUP_WIDE_MEMBER
};

// Chooses the form: Unicode names when the system is of the NT family and
// has every W function above, ANSI names otherwise (and always when
// preferUnicode is false). Installs the matching lead-byte test. Called
// before any second thread exists; returns UnicodeNames().
bool ChooseTextMode(bool preferUnicode = true);

// True in the Unicode mode: strings hold UTF-8 and Wide() may be called.
bool UnicodeNames();

// The W functions; only valid while UnicodeNames() is true.
const WideFunctions& Wide();

// How text that has no exact form on the other side of a conversion
// between the ANSI code page and UTF-16 is treated.
enum class Conversion {
  // Refused (nullopt): a lead byte without its trail byte, a character
  // outside the code page, a best fit (a plain letter for an accented one
  // the code page lacks, which would name another file). Systems that know
  // neither MB_ERR_INVALID_CHARS nor WC_NO_BEST_FIT_CHARS still refuse the
  // latter two, by a round trip.
  Strict,
  // As the A functions of Windows treat it: the system's substitutes (the
  // code page's default character, a best fit).
  Lossy,
};

// text in the system's ANSI code page as UTF-16.
std::optional<std::wstring> AnsiToUtf16(const std::string& text, Conversion conversion);
// count UTF-16 units in the system's ANSI code page.
std::optional<std::string> Utf16ToAnsi(const wchar_t* text, std::size_t count,
                                       Conversion conversion);

// text in the current form as UTF-16 (UTF-8, or the ANSI code page);
// nullopt when it is not valid in that form.
std::optional<std::wstring> Widen(const std::string& text);

// count UTF-16 units in the current form. In the Unicode mode an unpaired
// surrogate gives nullopt; in the ANSI mode a character outside the code
// page becomes its default character, as the A functions would give it.
std::optional<std::string> Narrow(const wchar_t* text, std::size_t count);
std::optional<std::string> Narrow(const wchar_t* terminated);

namespace detail {
template <typename Wide, std::size_t... Index>
auto CallWide(Wide& wide, const std::optional<std::wstring>* units, std::index_sequence<Index...>) {
  return wide(units[Index]->c_str()...);
}
}  // namespace detail

// Calls ansi with names as they are in the ANSI mode, or wide with their
// UTF-16 forms in the Unicode mode. When one of them has none, neither is
// called: the result is failed, with ERROR_FILE_NOT_FOUND as the last
// error, as for a name that is not there.
template <typename Result, typename Ansi, typename Wide, typename... Names>
Result WithNames(Result failed, Ansi ansi, Wide wide, const Names&... names) {
  if (!UnicodeNames()) return ansi(names.c_str()...);
  const std::optional<std::wstring> units[] = {Widen(names)...};
  for (const std::optional<std::wstring>& unit : units) {
    if (!unit) {
      ::SetLastError(ERROR_FILE_NOT_FOUND);
      return failed;
    }
  }
  return detail::CallWide(wide, units, std::index_sequence_for<Names...>());
}

// A text that a query writes into a buffer of capacity characters, in the
// program's form. The query (ansi in the ANSI mode, wide in the Unicode
// one) answers the length without the terminator, or a larger one when the
// text does not fit: nullopt then, and when it answers 0.
using AnsiQuery = DWORD(WINAPI*)(DWORD capacity, LPSTR buffer);
using WideQuery = DWORD(WINAPI*)(DWORD capacity, LPWSTR buffer);
std::optional<std::string> ReadText(DWORD capacity, AnsiQuery ansi, WideQuery wide);

// The data of a directory search, in the form of the current mode.
union FindData {
  WIN32_FIND_DATAA ansi;
  WIN32_FIND_DATAW wide;
};

// The next entry of search whose name has a form in the program's strings,
// from the search's current data on (current) or from the next one. An
// entry whose name has none (an unpaired surrogate) is skipped like a file
// that is not there. False at the end.
bool FindNext(HANDLE search, FindData& data, bool current, DirectoryEntry& entry);

// The program's arguments as the C runtime splits its command line: the
// Unicode one in the Unicode mode, so that no character is lost. nullopt
// when the line cannot be split or an argument has no form in the
// program's strings.
std::optional<std::vector<std::string>> ProgramArguments();

// The program's dialog id, as a Unicode window in the Unicode mode (so that
// its controls keep every character they are given): modeless, or modal.
HWND CreateProgramDialog(int id, HWND owner, DLGPROC procedure, LPARAM parameter);
INT_PTR RunProgramDialog(int id, HWND owner, DLGPROC procedure, LPARAM parameter);

// The text of a dialog's control, in the program's form. A text that is
// not in that form is not set; a text read that has none reads as empty.
void SetItemText(HWND dialog, int id, const std::string& text);
std::string ItemText(HWND dialog, int id);

// Adds text as an entry of a combo box's list (CB_ADDSTRING): the entry's
// index, or CB_ERR (also for a text that has no form in the program's
// strings) or CB_ERRSPACE.
LRESULT AddListEntry(HWND list, const std::string& text);

// A message box with no owner; returns the button pressed. A text that is
// not in the program's form is shown through the A function as it is,
// rather than not at all.
int ShowMessageBox(const std::string& text, const std::string& caption, UINT style);

// The system's message for code (FormatMessage, trailing CR/LF removed);
// "0x" and the code in hexadecimal when the system has none.
std::string SystemMessage(DWORD code);

}  // namespace setup::win32
