#include "support/manifest_codec_win32.h"

#include "support/text.h"
#include "support/text_win32.h"
#include "support/unicode.h"

namespace setup::win32 {

std::optional<std::string> Win32TextCodec::FromAnsi(const std::string& text) {
  if (!UnicodeNames() || IsAscii(text)) return text;
  const std::optional<std::wstring> units = AnsiToUtf16(text, Conversion::Strict);
  if (!units) return std::nullopt;
  return Utf16ToUtf8(units->data(), units->size());
}

std::optional<std::string> Win32TextCodec::FromUtf8(const std::string& text) {
  const std::optional<std::wstring> units = Utf8ToUtf16<std::wstring>(text);
  if (!units) return std::nullopt;
  if (UnicodeNames() || IsAscii(text)) return text;
  return Utf16ToAnsi(units->data(), units->size(), Conversion::Strict);
}

}  // namespace setup::win32
