#include "tools/common/posix_text_codec.h"

#include "support/text.h"
#include "support/unicode.h"

namespace setup::tools {
namespace {

// The characters of 0x80..0x9F in Windows-1252; the five bytes it leaves
// undefined stand for the C1 control of the same value, as Windows maps
// them. 0xA0..0xFF are those of ISO 8859-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::optional<std::string> PosixTextCodec::FromAnsi(const std::string& text) {
  std::u16string units;
  units.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    units += byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
  }
  return Utf16ToUtf8(units);
}

std::optional<std::string> PosixTextCodec::FromUtf8(const std::string& text) {
  if (!IsValidUtf8(text)) return std::nullopt;
  return text;
}

}  // namespace setup::tools
