#include "support/text_codec_win32.h"

#include <windows.h>

#include <climits>

#include "support/text.h"
#include "support/unicode.h"

namespace setup::win32 {
namespace {

std::optional<std::wstring> ConvertFromAnsi(const std::string& text, DWORD flags) {
  const int bytes = static_cast<int>(text.size());
  const int units = ::MultiByteToWideChar(CP_ACP, flags, text.data(), bytes, nullptr, 0);
  if (units <= 0) return std::nullopt;
  std::wstring result(static_cast<std::size_t>(units), L'\0');
  if (::MultiByteToWideChar(CP_ACP, flags, text.data(), bytes, &result[0], units) != units)
    return std::nullopt;
  return result;
}

// A lead byte without its trail byte is refused where the system can tell.
std::optional<std::wstring> AnsiToWide(const std::string& text) {
  std::optional<std::wstring> wide = ConvertFromAnsi(text, MB_ERR_INVALID_CHARS);
  if (!wide && ::GetLastError() == ERROR_INVALID_FLAGS) wide = ConvertFromAnsi(text, 0);
  return wide;
}

std::optional<std::string> ConvertToAnsi(const std::wstring& text, DWORD flags) {
  const int units = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  const int bytes =
      ::WideCharToMultiByte(CP_ACP, flags, text.data(), units, nullptr, 0, nullptr, &usedDefault);
  if (bytes <= 0 || usedDefault) return std::nullopt;
  std::string result(static_cast<std::size_t>(bytes), '\0');
  if (::WideCharToMultiByte(CP_ACP, flags, text.data(), units, &result[0], bytes, nullptr,
                            &usedDefault) != bytes ||
      usedDefault)
    return std::nullopt;
  return result;
}

// The ANSI form of text, only when it names exactly the same characters: a
// best-fit mapping (a plain letter for an accented one the code page lacks)
// would name another file.
std::optional<std::string> WideToAnsi(const std::wstring& text) {
  ::SetLastError(ERROR_SUCCESS);
  std::optional<std::string> ansi = ConvertToAnsi(text, WC_NO_BEST_FIT_CHARS);
  // Systems before Windows 2000 know no WC_NO_BEST_FIT_CHARS; the round
  // trip below refuses a best fit there.
  if (!ansi && ::GetLastError() == ERROR_INVALID_FLAGS) ansi = ConvertToAnsi(text, 0);
  if (!ansi || AnsiToWide(*ansi) != text) return std::nullopt;
  return ansi;
}

}  // namespace

std::optional<std::string> Win32TextCodec::FromAnsi(const std::string& text) {
  if (!unicode_ || IsAscii(text)) return text;
  if (text.size() > INT_MAX) return std::nullopt;
  std::optional<std::wstring> wide = AnsiToWide(text);
  if (!wide) return std::nullopt;
  return Utf16ToUtf8(wide->data(), wide->size());
}

std::optional<std::string> Win32TextCodec::FromUtf8(const std::string& text) {
  std::optional<std::wstring> wide = Utf8ToUtf16<std::wstring>(text);
  if (!wide) return std::nullopt;
  if (unicode_ || IsAscii(text)) return text;
  if (text.size() > INT_MAX) return std::nullopt;
  return WideToAnsi(*wide);
}

}  // namespace setup::win32
