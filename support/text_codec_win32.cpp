#include "support/text_codec_win32.h"

#include <windows.h>

#include <climits>

#include "support/text.h"

namespace setup::win32 {
namespace {

std::optional<std::wstring> ToWide(UINT codePage, DWORD flags, const std::string& text) {
  const int bytes = static_cast<int>(text.size());
  const int units = ::MultiByteToWideChar(codePage, flags, text.data(), bytes, nullptr, 0);
  if (units <= 0) return std::nullopt;
  std::wstring result(static_cast<std::size_t>(units), L'\0');
  if (::MultiByteToWideChar(codePage, flags, text.data(), bytes, &result[0], units) != units)
    return std::nullopt;
  return result;
}

// usedDefault null: the code page has no default character (CP_UTF8).
std::optional<std::string> FromWide(UINT codePage, DWORD flags, const std::wstring& text,
                                    BOOL* usedDefault) {
  const int units = static_cast<int>(text.size());
  const int bytes =
      ::WideCharToMultiByte(codePage, flags, text.data(), units, nullptr, 0, nullptr, usedDefault);
  if (bytes <= 0 || (usedDefault && *usedDefault)) return std::nullopt;
  std::string result(static_cast<std::size_t>(bytes), '\0');
  if (::WideCharToMultiByte(codePage, flags, text.data(), units, &result[0], bytes, nullptr,
                            usedDefault) != bytes ||
      (usedDefault && *usedDefault))
    return std::nullopt;
  return result;
}

// A lead byte without its trail byte is refused where the system can tell.
std::optional<std::wstring> AnsiToWide(const std::string& text) {
  std::optional<std::wstring> wide = ToWide(CP_ACP, MB_ERR_INVALID_CHARS, text);
  if (!wide && ::GetLastError() == ERROR_INVALID_FLAGS) wide = ToWide(CP_ACP, 0, text);
  return wide;
}

// The ANSI form of text, only when it names exactly the same characters: a
// best-fit mapping (a plain letter for an accented one the code page lacks)
// would name another file.
std::optional<std::string> WideToAnsi(const std::wstring& text) {
  BOOL usedDefault = FALSE;
  std::optional<std::string> ansi = FromWide(CP_ACP, WC_NO_BEST_FIT_CHARS, text, &usedDefault);
  // Systems before Windows 2000 know no WC_NO_BEST_FIT_CHARS; the round
  // trip below refuses a best fit there.
  if (!ansi && !usedDefault && ::GetLastError() == ERROR_INVALID_FLAGS)
    ansi = FromWide(CP_ACP, 0, text, &usedDefault);
  if (!ansi || AnsiToWide(*ansi) != text) return std::nullopt;
  return ansi;
}

}  // namespace

std::optional<std::string> Win32TextCodec::FromAnsi(const std::string& text) {
  if (!unicode_ || IsAscii(text)) return text;
  if (text.size() > INT_MAX) return std::nullopt;
  std::optional<std::wstring> wide = AnsiToWide(text);
  if (!wide) return std::nullopt;
  return FromWide(CP_UTF8, 0, *wide, nullptr);
}

std::optional<std::string> Win32TextCodec::FromUtf8(const std::string& text) {
  // ASCII is the same in every form, also where the system has no CP_UTF8
  // (Windows 95).
  if (unicode_ || IsAscii(text)) return IsValidUtf8(text) ? std::optional(text) : std::nullopt;
  if (text.size() > INT_MAX || !IsValidUtf8(text)) return std::nullopt;
  std::optional<std::wstring> wide = ToWide(CP_UTF8, 0, text);
  if (!wide) return std::nullopt;
  return WideToAnsi(*wide);
}

}  // namespace setup::win32
