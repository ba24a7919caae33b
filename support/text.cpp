#include "support/text.h"

#include <climits>
#include <utility>

#include "support/unicode.h"

namespace setup {
namespace {

bool NeverLeadByte(unsigned char) { return false; }

LeadByteTest leadByteTest = NeverLeadByte;

// Length of the character that starts at text[i]: 2 for a lead byte that
// has a trail byte, else 1.
std::size_t CharLength(const std::string& text, std::size_t i) {
  return (leadByteTest(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

void SetLeadByteTest(LeadByteTest test) { leadByteTest = test != nullptr ? test : NeverLeadByte; }

std::size_t FindChar(const std::string& text, char ch) {
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (text[i] == ch) return i;
  }
  return std::string::npos;
}

std::size_t FindLastChar(const std::string& text, char ch) {
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (text[i] == ch) found = i;
  }
  return found;
}

std::size_t FindText(const std::string& text, const std::string& part) {
  if (part.empty()) return 0;
  for (std::size_t i = 0; i + part.size() <= text.size(); i += CharLength(text, i)) {
    if (text.compare(i, part.size(), part) == 0) return i;
  }
  return std::string::npos;
}

std::size_t FindLastText(const std::string& text, const std::string& part) {
  if (part.empty()) return text.size();
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i + part.size() <= text.size(); i += CharLength(text, i)) {
    if (text.compare(i, part.size(), part) == 0) found = i;
  }
  return found;
}

namespace {

// Maps the single-byte letters from..from+25 to to..to+25; lead and trail
// bytes of double-byte characters stay as they are.
std::string MapLetters(std::string text, char from, char to) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = CharLength(text, i);
    if (n == 1 && text[i] >= from && text[i] <= from + 25)
      text[i] = static_cast<char>(text[i] - from + to);
    i += n;
  }
  return text;
}

}  // namespace

std::string ToUpper(std::string text) { return MapLetters(std::move(text), 'a', 'A'); }

std::string ToLower(std::string text) { return MapLetters(std::move(text), 'A', 'a'); }

void TrimTrailing(std::string& text, char ch) {
  // Walk forward so a trail byte equal to ch is never taken for ch.
  std::size_t keep = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = CharLength(text, i);
    if (!(n == 1 && text[i] == ch)) keep = i + n;
    i += n;
  }
  text.erase(keep);
}

void TrimLeading(std::string& text, char ch) {
  std::size_t start = 0;
  while (start < text.size() && text[start] == ch) ++start;
  text.erase(0, start);
}

void TrimLeadingSpace(std::string& text) {
  std::size_t start = 0;
  while (start < text.size() && IsSpace(text[start])) ++start;
  text.erase(0, start);
}

void TrimTrailingSpace(std::string& text) {
  std::size_t keep = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = CharLength(text, i);
    if (!(n == 1 && IsSpace(text[i]))) keep = i + n;
    i += n;
  }
  text.erase(keep);
}

std::string WithOneTrailingBackslash(std::string folder) {
  TrimTrailing(folder, '\\');
  folder += '\\';
  return folder;
}

std::string IntToText(int32_t n) { return std::to_string(n); }

int64_t ParseLeadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value > (INT64_MAX - 9) / 10) {
      value = INT64_MAX;
      continue;
    }
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The same instantiation as the Win32 layer's (wchar_t is UTF-16 there), to keep
// SETUP.EXE small; elsewhere any unit wide enough will do.
bool IsValidUtf8(const std::string& text) { return Utf8ToUtf16<std::wstring>(text).has_value(); }

}  // namespace setup
