#include "support/text_win32.h"

#include <climits>
#include <cstdlib>

#include "support/handles_win32.h"
#include "support/text.h"
#include "support/unicode.h"

namespace setup::win32 {
namespace {

bool unicodeNames = false;
WideFunctions wide = {};

bool IsLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

// Every W function of the table, from the modules the program imports (so
// they are loaded, from the system folder).
bool LookUpWideFunctions(WideFunctions& functions) {
  const HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
  const HMODULE user32 = ::GetModuleHandleA("user32.dll");
  const HMODULE shell32 = ::GetModuleHandleA("shell32.dll");
  const HMODULE msvcrt = ::GetModuleHandleA("msvcrt.dll");
  bool found = true;
#define SETUP_BIND_WIDE(module, name) \
  found = (functions.name = SETUP_LOOK_UP(module, name)) != nullptr && found;
  SETUP_WIDE_FUNCTIONS(SETUP_BIND_WIDE)
#undef SETUP_BIND_WIDE
  return found;
}

// The two-call conversions of the ANSI code page; nullopt when the system
// refuses (with its last error). WideCharToMultiByte reports whether it
// used the default character only where usedDefault is given.
std::optional<std::wstring> FromAnsi(const std::string& text, DWORD flags) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) return std::nullopt;
  const int bytes = static_cast<int>(text.size());
  const int units = ::MultiByteToWideChar(CP_ACP, flags, text.data(), bytes, nullptr, 0);
  if (units <= 0) return std::nullopt;
  std::wstring result(static_cast<std::size_t>(units), L'\0');
  if (::MultiByteToWideChar(CP_ACP, flags, text.data(), bytes, &result[0], units) != units)
    return std::nullopt;
  return result;
}

std::optional<std::string> ToAnsi(const wchar_t* text, std::size_t count, DWORD flags,
                                  BOOL* usedDefault) {
  if (usedDefault) *usedDefault = FALSE;
  if (count == 0) return std::string();
  if (count > INT_MAX) return std::nullopt;
  const int units = static_cast<int>(count);
  const int bytes =
      ::WideCharToMultiByte(CP_ACP, flags, text, units, nullptr, 0, nullptr, usedDefault);
  if (bytes <= 0 || (usedDefault && *usedDefault)) return std::nullopt;
  std::string result(static_cast<std::size_t>(bytes), '\0');
  if (::WideCharToMultiByte(CP_ACP, flags, text, units, &result[0], bytes, nullptr, usedDefault) !=
          bytes ||
      (usedDefault && *usedDefault))
    return std::nullopt;
  return result;
}

template <typename Char, typename Query>
std::optional<std::basic_string<Char>> ReadQuery(DWORD capacity, Query query) {
  std::basic_string<Char> buffer(capacity, Char());
  const DWORD length = query(capacity, &buffer[0]);
  if (length == 0 || length >= capacity) return std::nullopt;
  buffer.resize(length);
  return buffer;
}

// The text a window holds, read with one form's functions.
template <typename Char, typename Length, typename Get>
std::basic_string<Char> WindowText(HWND window, Length length, Get get) {
  const int size = length(window);
  if (size <= 0) return {};
  std::basic_string<Char> buffer(static_cast<std::size_t>(size) + 1, Char());
  const int copied = get(window, &buffer[0], size + 1);
  buffer.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return buffer;
}

// The system's message for code, with one form's FormatMessage.
template <typename Char, typename Format>
std::basic_string<Char> FormatSystemMessage(Format format, DWORD code) {
  constexpr DWORD kFlags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  Char* buffer = nullptr;
  const DWORD length =
      format(kFlags, nullptr, code, 0, reinterpret_cast<Char*>(&buffer), 0, nullptr);
  LocalMemory owner(buffer);
  if (length == 0 || !buffer) return {};
  return std::basic_string<Char>(buffer, length);
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

std::optional<std::wstring> AnsiToUtf16(const std::string& text, Conversion conversion) {
  if (conversion == Conversion::Lossy) return FromAnsi(text, 0);
  std::optional<std::wstring> units = FromAnsi(text, MB_ERR_INVALID_CHARS);
  if (!units && ::GetLastError() == ERROR_INVALID_FLAGS) units = FromAnsi(text, 0);
  return units;
}

std::optional<std::string> Utf16ToAnsi(const wchar_t* text, std::size_t count,
                                       Conversion conversion) {
  if (conversion == Conversion::Lossy) return ToAnsi(text, count, 0, nullptr);
  BOOL usedDefault = FALSE;
  ::SetLastError(ERROR_SUCCESS);
  std::optional<std::string> ansi = ToAnsi(text, count, WC_NO_BEST_FIT_CHARS, &usedDefault);
  // Systems before Windows 2000 know no WC_NO_BEST_FIT_CHARS; the round
  // trip below refuses a best fit there.
  if (!ansi && ::GetLastError() == ERROR_INVALID_FLAGS) ansi = ToAnsi(text, count, 0, &usedDefault);
  if (!ansi || AnsiToUtf16(*ansi, Conversion::Strict) != std::wstring(text, count))
    return std::nullopt;
  return ansi;
}

std::optional<std::wstring> Widen(const std::string& text) {
  if (unicodeNames) return Utf8ToUtf16<std::wstring>(text);
  return AnsiToUtf16(text, Conversion::Lossy);
}

std::optional<std::string> Narrow(const wchar_t* text, std::size_t count) {
  if (unicodeNames) return Utf16ToUtf8(text, count);
  return Utf16ToAnsi(text, count, Conversion::Lossy);
}

std::optional<std::string> Narrow(const wchar_t* terminated) {
  std::size_t count = 0;
  while (terminated[count] != L'\0') ++count;
  return Narrow(terminated, count);
}

std::optional<std::string> ReadText(DWORD capacity, AnsiQuery ansi, WideQuery wide) {
  if (!unicodeNames) return ReadQuery<char>(capacity, ansi);
  const std::optional<std::wstring> text = ReadQuery<wchar_t>(capacity, wide);
  if (!text) return std::nullopt;
  return Narrow(text->data(), text->size());
}

bool FindNext(HANDLE search, FindData& data, bool current, DirectoryEntry& entry) {
  for (;; current = false) {
    if (unicodeNames) {
      if (!current && !wide.FindNextFileW(search, &data.wide)) return false;
      std::optional<std::string> name = Narrow(data.wide.cFileName);
      if (!name) continue;
      entry.name = std::move(*name);
    } else {
      if (!current && !::FindNextFileA(search, &data.ansi)) return false;
      entry.name = data.ansi.cFileName;
    }
    // The attributes lie at the same place in both forms.
    entry.isFolder = (data.ansi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
  }
}

std::optional<std::vector<std::string>> ProgramArguments() {
  if (!unicodeNames) return std::vector<std::string>(__argv, __argv + __argc);
  int count = 0;
  wchar_t** arguments = nullptr;
  wchar_t** environment = nullptr;
  int newMode = 0;
  if (wide.__wgetmainargs(&count, &arguments, &environment, 0, &newMode) < 0 || !arguments)
    return std::nullopt;
  std::vector<std::string> result;
  for (int i = 0; i < count; ++i) {
    std::optional<std::string> argument = Narrow(arguments[i]);
    if (!argument) return std::nullopt;
    result.push_back(std::move(*argument));
  }
  return result;
}

HWND CreateProgramDialog(int id, HWND owner, DLGPROC procedure, LPARAM parameter) {
  const HINSTANCE module = ::GetModuleHandleA(nullptr);
  if (unicodeNames)
    return wide.CreateDialogParamW(module, MAKEINTRESOURCEW(id), owner, procedure, parameter);
  return ::CreateDialogParamA(module, MAKEINTRESOURCEA(id), owner, procedure, parameter);
}

INT_PTR RunProgramDialog(int id, HWND owner, DLGPROC procedure, LPARAM parameter) {
  const HINSTANCE module = ::GetModuleHandleA(nullptr);
  if (unicodeNames)
    return wide.DialogBoxParamW(module, MAKEINTRESOURCEW(id), owner, procedure, parameter);
  return ::DialogBoxParamA(module, MAKEINTRESOURCEA(id), owner, procedure, parameter);
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  WithNames(
      FALSE, [&](const char* units) { return ::SetDlgItemTextA(dialog, id, units); },
      [&](const wchar_t* units) { return wide.SetDlgItemTextW(dialog, id, units); }, text);
}

std::string ItemText(HWND dialog, int id) {
  HWND item = ::GetDlgItem(dialog, id);
  if (!item) return {};
  if (!unicodeNames) return WindowText<char>(item, ::GetWindowTextLengthA, ::GetWindowTextA);
  const std::wstring text =
      WindowText<wchar_t>(item, wide.GetWindowTextLengthW, wide.GetWindowTextW);
  return Narrow(text.data(), text.size()).value_or(std::string());
}

LRESULT AddListEntry(HWND list, const std::string& text) {
  return WithNames(
      LRESULT{CB_ERR},
      [&](const char* units) {
        return ::SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(units));
      },
      [&](const wchar_t* units) {
        return wide.SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(units));
      },
      text);
}

int ShowMessageBox(const std::string& text, const std::string& caption, UINT style) {
  if (unicodeNames) {
    const std::optional<std::wstring> wideText = Widen(text);
    const std::optional<std::wstring> wideCaption = Widen(caption);
    if (wideText && wideCaption)
      return wide.MessageBoxW(nullptr, wideText->c_str(), wideCaption->c_str(), style);
  }
  // The 9x family; or a text that is not whole UTF-8, shown as it is
  // rather than not at all.
  return ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
}

std::string SystemMessage(DWORD code) {
  std::string text;
  if (unicodeNames) {
    const std::wstring units = FormatSystemMessage<wchar_t>(wide.FormatMessageW, code);
    text = Narrow(units.data(), units.size()).value_or(std::string());
  } else {
    text = FormatSystemMessage<char>(::FormatMessageA, code);
  }
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  if (!text.empty()) return text;

  static const char kDigits[] = "0123456789ABCDEF";
  text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(code >> shift) & 0xF];
  return text;
}

}  // namespace setup::win32
