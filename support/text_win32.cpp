#include "support/text_win32.h"

#include <climits>

#include "support/handles_win32.h"

namespace setup::win32 {

std::string WideToAnsi(const wchar_t* text, std::size_t count) {
  if (count == 0 || count > INT_MAX) return {};
  const int units = static_cast<int>(count);
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string result(static_cast<std::size_t>(bytes), '\0');
  if (::WideCharToMultiByte(CP_ACP, 0, text, units, &result[0], bytes, nullptr, nullptr) != bytes)
    return {};
  return result;
}

std::string SystemMessage(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  LocalMemory owner(buffer);
  std::string text = (length != 0 && buffer) ? std::string(buffer, length) : std::string();
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  if (!text.empty()) return text;

  static const char kDigits[] = "0123456789ABCDEF";
  text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(code >> shift) & 0xF];
  return text;
}

}  // namespace setup::win32
