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
// Widen and Narrow convert between the current form and UTF-16; nothing
// else in the program converts names.
#pragma once

#include <windows.h>
// (needs <windows.h> first)
#include <shellapi.h>

#include <cstddef>
#include <optional>
#include <string>

namespace setup::win32 {

// The W functions of the Unicode mode. They are looked up at start rather
// than imported: Windows 95 exports many W names only as stubs, and which
// ones it exports at all is not documented, so an import could keep the
// program from loading there.
struct WideFunctions {
  decltype(&::GetModuleFileNameW) getModuleFileName;
  decltype(&::GetCurrentDirectoryW) getCurrentDirectory;
  decltype(&::SetCurrentDirectoryW) setCurrentDirectory;
  decltype(&::GetTempPathW) getTempPath;
  decltype(&::GetSystemDirectoryW) getSystemDirectory;
  decltype(&::FindFirstFileW) findFirstFile;
  decltype(&::FindNextFileW) findNextFile;
  decltype(&::CreateDirectoryW) createDirectory;
  decltype(&::RemoveDirectoryW) removeDirectory;
  decltype(&::DeleteFileW) deleteFile;
  decltype(&::CreateFileW) createFile;
  decltype(&::GetDiskFreeSpaceExW) getDiskFreeSpaceEx;
  decltype(&::CreateProcessW) createProcess;
  decltype(&::FormatMessageW) formatMessage;
  decltype(&::MessageBoxW) messageBox;
  decltype(&::CreateDialogParamW) createDialogParam;
  decltype(&::DialogBoxParamW) dialogBoxParam;
  decltype(&::SetDlgItemTextW) setDlgItemText;
  decltype(&::GetWindowTextW) getWindowText;
  decltype(&::GetWindowTextLengthW) getWindowTextLength;
  decltype(&::SendMessageW) sendMessage;
  decltype(&::ShellExecuteExW) shellExecuteEx;
  // The C runtime's split of the Unicode command line (msvcrt), by the same
  // rules as the ANSI one.
  int(__cdecl* getMainArguments)(int* count, wchar_t*** arguments, wchar_t*** environment,
                                 int expandWildcards, int* newMode);
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

// text in the current form as UTF-16 (UTF-8, or the ANSI code page);
// nullopt when it is not valid in that form.
std::optional<std::wstring> Widen(const std::string& text);

// count UTF-16 units in the current form. In the Unicode mode an unpaired
// surrogate gives nullopt; in the ANSI mode a character outside the code
// page becomes its default character, as the A functions would give it.
std::optional<std::string> Narrow(const wchar_t* text, std::size_t count);
std::optional<std::string> Narrow(const wchar_t* terminated);

// The program's dialog id, as a Unicode window in the Unicode mode (so that
// its controls keep every character they are given): modeless, or modal.
HWND CreateProgramDialog(int id, HWND owner, DLGPROC procedure, LPARAM parameter);
INT_PTR RunProgramDialog(int id, HWND owner, DLGPROC procedure, LPARAM parameter);

// The text of a dialog's control, in the program's form. A text that is
// not in that form is not set; a text read that has none reads as empty.
void SetItemText(HWND dialog, int id, const std::string& text);
std::string ItemText(HWND dialog, int id);

// The system's message for code (FormatMessage, trailing CR/LF removed);
// "0x" and the code in hexadecimal when the system has none.
std::string SystemMessage(DWORD code);

}  // namespace setup::win32
