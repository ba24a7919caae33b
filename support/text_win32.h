// Conversions between the ANSI code page and UTF-16, and the system's
// message texts.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace setup::win32 {

// count UTF-16 units from text into the ANSI code page (CP_ACP); characters
// without an ANSI form become the code page's default character. Empty
// when the conversion fails.
std::string WideToAnsi(const wchar_t* text, std::size_t count);

// The system's message for code (FormatMessage, trailing CR/LF removed);
// "0x" and the code in hexadecimal when the system has none.
std::string SystemMessage(DWORD code);

}  // namespace setup::win32
