// Storage element names, and the names and keys of rows.
#include "support/unicode.h"
#include "tools/msitransform/transform.h"

namespace setup::msi {
namespace {

constexpr char16_t kTablePrefix = 0x4840;

int Digit(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 36;
  if (c == '.') return 62;
  if (c == '_') return 63;
  return -1;
}

char DigitChar(int d) {
  static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._";
  return kDigits[d];
}

}  // namespace

std::u16string EncodeStreamName(const std::string& name, bool table) {
  const std::optional<std::u16string> units = Utf8ToUtf16<std::u16string>(name);
  if (!units) return std::u16string();
  std::u16string out;
  if (table) out += kTablePrefix;
  for (size_t i = 0; i < units->size(); ++i) {
    int a = Digit((*units)[i]);
    if (a < 0) {
      out += (*units)[i];
      continue;
    }
    int b = i + 1 < units->size() ? Digit((*units)[i + 1]) : -1;
    if (b >= 0) {
      out += static_cast<char16_t>(0x3800 + a + (b << 6));
      ++i;
    } else {
      out += static_cast<char16_t>(0x4800 + a);
    }
  }
  return out;
}

std::string DecodeStreamName(const std::u16string& name, bool& table) {
  std::u16string units;
  size_t start = 0;
  table = !name.empty() && name[0] == kTablePrefix;
  if (table) start = 1;
  for (size_t i = start; i < name.size(); ++i) {
    char16_t c = name[i];
    if (c >= 0x3800 && c < 0x4800) {
      units += DigitChar((c - 0x3800) & 0x3F);
      units += DigitChar(((c - 0x3800) >> 6) & 0x3F);
    } else if (c >= 0x4800 && c < 0x4840) {
      units += DigitChar(c - 0x4800);
    } else {
      units += c;
    }
  }
  return Utf16ToUtf8(units).value_or(std::string());
}

std::string CellStreamName(const std::string& table, const Schema& schema, const Row& row) {
  std::string name = table;
  for (size_t i = 0; i < schema.size() && i < row.size(); ++i) {
    if (!IsKey(schema[i].type)) continue;
    name += '.';
    if (!row[i].null)
      name += IsString(schema[i].type) ? row[i].text : std::to_string(row[i].number);
  }
  return name;
}

std::string RowKey(const Schema& schema, const Row& row) {
  std::string key;
  for (size_t i = 0; i < schema.size() && i < row.size(); ++i) {
    if (!IsKey(schema[i].type)) continue;
    const Cell& cell = row[i];
    if (cell.null) {
      key += 'n';
    } else if (IsString(schema[i].type)) {
      key += 's' + cell.text + '\0';
    } else {
      key += 'i' + std::to_string(cell.number) + '\0';
    }
  }
  return key;
}

std::string ShownKey(const Schema& schema, const Row& row) {
  std::string text;
  for (size_t i = 0; i < schema.size() && i < row.size(); ++i) {
    if (!IsKey(schema[i].type)) continue;
    if (!text.empty()) text += ", ";
    text += row[i].null                ? "null"
            : IsString(schema[i].type) ? row[i].text
                                       : std::to_string(row[i].number);
  }
  return text;
}

}  // namespace setup::msi
