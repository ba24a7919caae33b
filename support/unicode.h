// UTF-8 and UTF-16, converted without inventing anything: an invalid
// sequence on either side (a stray or missing continuation byte, an
// over-long form, an encoded surrogate, a value past U+10FFFF, an unpaired
// surrogate) refuses the whole text instead of turning into another one.
// Units is any string of 16-bit units (std::u16string; std::wstring on
// Windows), Unit any 16-bit unit type.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace setup {

template <typename Units>
std::optional<Units> Utf8ToUtf16(const std::string& text) {
  // Never more units than bytes: filled in place, then cut to length.
  Units result(text.size(), 0);
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    char32_t value = lead;
    std::size_t length = 1;
    char32_t smallest = 0;  // the least value of that length: anything less is over-long
    if (lead >= 0xF0) {
      length = 4;
      value = lead & 0x07;
      smallest = 0x10000;
    } else if (lead >= 0xE0) {
      length = 3;
      value = lead & 0x0F;
      smallest = 0x800;
    } else if (lead >= 0xC0) {
      length = 2;
      value = lead & 0x1F;
      smallest = 0x80;
    } else if (lead >= 0x80) {
      return std::nullopt;  // a continuation byte without its lead
    }
    if (lead >= 0xF8) return std::nullopt;
    // A sequence cut short meets the terminator, which is no continuation
    // byte: nothing past the end is read.
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      value = (value << 6) | (next & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
      return std::nullopt;
    if (value >= 0x10000) {
      value -= 0x10000;
      result[out++] = static_cast<typename Units::value_type>(0xD800 + (value >> 10));
      result[out++] = static_cast<typename Units::value_type>(0xDC00 + (value & 0x3FF));
    } else {
      result[out++] = static_cast<typename Units::value_type>(value);
    }
    i += length;
  }
  result.resize(out);
  return result;
}

template <typename Unit>
std::optional<std::string> Utf16ToUtf8(const Unit* text, std::size_t count) {
  std::string result;
  result.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    char32_t value = static_cast<char16_t>(text[i]);
    if (value >= 0xD800 && value <= 0xDFFF) {
      // Only a high surrogate followed by a low one makes a character.
      if (value >= 0xDC00 || i + 1 == count || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
        return std::nullopt;
      value = 0x10000 + ((value - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (value < 0x80) {
      result += static_cast<char>(value);
    } else if (value < 0x800) {
      result += static_cast<char>(0xC0 | (value >> 6));
      result += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
      result += static_cast<char>(0xE0 | (value >> 12));
      result += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (value & 0x3F));
    } else {
      result += static_cast<char>(0xF0 | (value >> 18));
      result += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
      result += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (value & 0x3F));
    }
  }
  return result;
}

inline std::optional<std::string> Utf16ToUtf8(const std::u16string& text) {
  return Utf16ToUtf8(text.data(), text.size());
}

}  // namespace setup
