// UTF-8 and UTF-16, converted without inventing anything: an invalid
// sequence on either side (a stray or missing continuation byte, an
// over-long form, an encoded surrogate, a value past U+10FFFF, an unpaired
// surrogate) refuses the whole text instead of turning into another one.
#pragma once

#include <optional>
#include <string>

namespace setup {

std::optional<std::u16string> Utf8ToUtf16(const std::string& text);
std::optional<std::string> Utf16ToUtf8(const char16_t* text, std::size_t count);
inline std::optional<std::string> Utf16ToUtf8(const std::u16string& text) {
  return Utf16ToUtf8(text.data(), text.size());
}

}  // namespace setup
