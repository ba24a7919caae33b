// String helpers for the program's 8-bit text: UTF-8, or the system's ANSI
// code page on the Windows 9x family.
//
// Searching, trimming and upper-casing step over double-byte characters:
// a trail byte may have the value of '\\' or of a lower-case letter, and
// must never be taken for one. Which bytes lead a double-byte character is
// decided by the lead-byte test installed at start-up (none by default,
// which is right for every single-byte code page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace setup {

using LeadByteTest = bool (*)(unsigned char byte);

// Installs the code page's lead-byte test. Called once at start-up, before
// any second thread exists.
void SetLeadByteTest(LeadByteTest test);

// Position of the first / last character ch (a single-byte character), or
// std::string::npos.
std::size_t FindChar(const std::string& text, char ch);
std::size_t FindLastChar(const std::string& text, char ch);

// Position of the first occurrence of part that starts on a character
// boundary, or npos. An empty part is found at 0.
std::size_t FindText(const std::string& text, const std::string& part);
std::size_t FindLastText(const std::string& text, const std::string& part);

// Upper-cases the single-byte letters a-z; double-byte characters stay as
// they are.
std::string ToUpper(std::string text);
std::string ToLower(std::string text);

// In-place trimming. TrimTrailing removes every trailing ch that is a
// character of its own (not the trail byte of a double-byte character).
void TrimTrailing(std::string& text, char ch);
void TrimLeading(std::string& text, char ch);
void TrimLeadingSpace(std::string& text);  // blanks, tabs, CR, LF, VT, FF
void TrimTrailingSpace(std::string& text);

// Removes all trailing backslashes and appends exactly one.
std::string WithOneTrailingBackslash(std::string folder);

// n in decimal, with a leading '-' for negative values.
std::string IntToText(int32_t n);

// C atoi: leading white space, optional sign, digits up to the first other
// character; 0 when no digit follows. Saturates instead of overflowing.
int64_t ParseLeadingInteger(const std::string& text);

// The UTF-8 byte-order mark, which marks a text file as UTF-8.
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// True when every byte is below 0x80: the same text in every code page.
bool IsAscii(const std::string& text);

// Strict UTF-8: every character in its shortest form, no surrogate
// (U+D800..U+DFFF) and nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text);

}  // namespace setup
