#include "support/message_boxes_win32.h"

#include <windows.h>

#include "support/text_win32.h"

namespace setup::win32 {
namespace {

// A string table is stored in blocks of 16 strings: block n + 1 holds the
// ids 16n to 16n + 15, each as a 16-bit length followed by that many
// UTF-16 units (no terminator); a missing string has length 0.
constexpr uint32_t kStringsPerBlock = 16;

}  // namespace

int Win32MessageBoxes::Show(const std::string& text, const std::string& caption, uint32_t style) {
  return ShowMessageBox(text, caption, style);
}

std::string ResourceStringCatalogue::Load(uint32_t id) {
  if (id > 0xFFFF) return {};
  HMODULE module = ::GetModuleHandleA(nullptr);
  const WORD blockId = static_cast<WORD>(id / kStringsPerBlock + 1);
  HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(blockId), RT_STRING);
  if (!found) return {};
  HGLOBAL loaded = ::LoadResource(module, found);
  const auto* units = static_cast<const WCHAR*>(loaded ? ::LockResource(loaded) : nullptr);
  const DWORD bytes = ::SizeofResource(module, found);
  if (!units) return {};

  // Walk to the wanted entry, checking every length against the block.
  const std::size_t available = bytes / sizeof(WCHAR);
  std::size_t position = 0;
  for (uint32_t index = 0; index < id % kStringsPerBlock; ++index) {
    if (position >= available) return {};
    position += 1 + units[position];
  }
  if (position >= available) return {};
  const std::size_t length = units[position];
  if (length > available - position - 1) return {};
  return Narrow(units + position + 1, length).value_or(std::string());
}

}  // namespace setup::win32
