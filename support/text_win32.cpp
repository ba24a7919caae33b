#include "support/text_win32.h"

#include <climits>
#include <cstring>

#include "support/handles_win32.h"
#include "support/text.h"
#include "support/unicode.h"

namespace setup::win32 {
namespace {

bool unicodeNames = false;
WideFunctions wide = {};

bool IsLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

// The exporting module and name of each member of WideFunctions, in order:
// k kernel32, u user32, s shell32, c msvcrt.
constexpr const char* kWideNames[] = {
    "kGetModuleFileNameW", "kGetCurrentDirectoryW", "kSetCurrentDirectoryW",
    "kGetTempPathW",       "kGetSystemDirectoryW",  "kFindFirstFileW",
    "kFindNextFileW",      "kCreateDirectoryW",     "kRemoveDirectoryW",
    "kDeleteFileW",        "kCreateFileW",          "kGetDiskFreeSpaceExW",
    "kCreateProcessW",     "kFormatMessageW",       "uMessageBoxW",
    "uCreateDialogParamW", "uDialogBoxParamW",      "uSetDlgItemTextW",
    "uGetWindowTextW",     "uGetWindowTextLengthW", "uSendMessageW",
    "sShellExecuteExW",    "c__wgetmainargs"};
constexpr std::size_t kWideCount = sizeof(kWideNames) / sizeof(kWideNames[0]);
static_assert(sizeof(WideFunctions) == kWideCount * sizeof(FARPROC), "one name per member");

// Every W function of the table, from the modules the program imports (so
// they are loaded, from the system folder).
bool LookUpWideFunctions(WideFunctions& functions) {
  FARPROC found[kWideCount];
  for (std::size_t i = 0; i < kWideCount; ++i) {
    const char* name = kWideNames[i];
    const char* module = name[0] == 'k'   ? "kernel32.dll"
                         : name[0] == 'u' ? "user32.dll"
                         : name[0] == 's' ? "shell32.dll"
                                          : "msvcrt.dll";
    const HMODULE loaded = ::GetModuleHandleA(module);
    found[i] = loaded ? ::GetProcAddress(loaded, name + 1) : nullptr;
    if (!found[i]) return false;
  }
  std::memcpy(&functions, found, sizeof(functions));
  return true;
}

}  // namespace

bool ChooseTextMode(bool preferUnicode) {
  const bool familyNt = (::GetVersion() & 0x80000000) == 0;
  unicodeNames = preferUnicode && familyNt && LookUpWideFunctions(wide);
  SetLeadByteTest(unicodeNames ? nullptr : IsLeadByte);
  return unicodeNames;
}

bool UnicodeNames() { return unicodeNames; }

const WideFunctions& Wide() { return wide; }

std::optional<std::wstring> Widen(const std::string& text) {
  if (unicodeNames) {
    return Utf8ToUtf16<std::wstring>(text);
  }
  if (text.size() > INT_MAX) return std::nullopt;
  const int bytes = static_cast<int>(text.size());
  const int units = bytes ? ::MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0) : 0;
  if (bytes && units <= 0) return std::nullopt;
  std::wstring result(static_cast<std::size_t>(units), L'\0');
  if (units && ::MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, &result[0], units) != units)
    return std::nullopt;
  return result;
}

std::optional<std::string> Narrow(const wchar_t* text, std::size_t count) {
  if (unicodeNames) return Utf16ToUtf8(text, count);
  if (count > INT_MAX) return std::nullopt;
  const int units = static_cast<int>(count);
  const int bytes =
      units ? ::WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr) : 0;
  if (units && bytes <= 0) return std::nullopt;
  std::string result(static_cast<std::size_t>(bytes), '\0');
  if (bytes &&
      ::WideCharToMultiByte(CP_ACP, 0, text, units, &result[0], bytes, nullptr, nullptr) != bytes)
    return std::nullopt;
  return result;
}

std::optional<std::string> Narrow(const wchar_t* terminated) {
  std::size_t count = 0;
  while (terminated[count] != L'\0') ++count;
  return Narrow(terminated, count);
}

HWND CreateProgramDialog(int id, HWND owner, DLGPROC procedure, LPARAM parameter) {
  const HINSTANCE module = ::GetModuleHandleA(nullptr);
  if (unicodeNames)
    return wide.createDialogParam(module, MAKEINTRESOURCEW(id), owner, procedure, parameter);
  return ::CreateDialogParamA(module, MAKEINTRESOURCEA(id), owner, procedure, parameter);
}

INT_PTR RunProgramDialog(int id, HWND owner, DLGPROC procedure, LPARAM parameter) {
  const HINSTANCE module = ::GetModuleHandleA(nullptr);
  if (unicodeNames)
    return wide.dialogBoxParam(module, MAKEINTRESOURCEW(id), owner, procedure, parameter);
  return ::DialogBoxParamA(module, MAKEINTRESOURCEA(id), owner, procedure, parameter);
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  if (!unicodeNames) {
    ::SetDlgItemTextA(dialog, id, text.c_str());
    return;
  }
  const std::optional<std::wstring> units = Widen(text);
  if (units) wide.setDlgItemText(dialog, id, units->c_str());
}

std::string ItemText(HWND dialog, int id) {
  HWND item = ::GetDlgItem(dialog, id);
  if (!item) return {};
  if (unicodeNames) {
    const int length = wide.getWindowTextLength(item);
    if (length <= 0) return {};
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = wide.getWindowText(item, &buffer[0], length + 1);
    if (copied <= 0) return {};
    return Narrow(buffer.data(), static_cast<std::size_t>(copied)).value_or(std::string());
  }
  const int length = ::GetWindowTextLengthA(item);
  if (length <= 0) return {};
  std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = ::GetWindowTextA(item, &buffer[0], length + 1);
  buffer.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return buffer;
}

std::string SystemMessage(DWORD code) {
  constexpr DWORD kFlags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  std::string text;
  if (unicodeNames) {
    wchar_t* buffer = nullptr;
    const DWORD length = wide.formatMessage(kFlags, nullptr, code, 0,
                                            reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    LocalMemory owner(buffer);
    if (length != 0 && buffer) text = Narrow(buffer, length).value_or(std::string());
  } else {
    char* buffer = nullptr;
    const DWORD length =
        ::FormatMessageA(kFlags, nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    LocalMemory owner(buffer);
    if (length != 0 && buffer) text.assign(buffer, length);
  }
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  if (!text.empty()) return text;

  static const char kDigits[] = "0123456789ABCDEF";
  text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(code >> shift) & 0xF];
  return text;
}

}  // namespace setup::win32
