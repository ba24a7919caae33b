// TextCodec for the lines of Files.id, over the system's code-page
// tables, into the form of the text layer's mode (support/text_win32.h):
// UTF-8 in the Unicode mode (the NT family), the ANSI code page in the ANSI
// mode (Windows 9x, and a program that never chose the Unicode mode).
#pragma once

#include "support/platform.h"

namespace setup::win32 {

class Win32TextCodec : public TextCodec {
 public:
  std::optional<std::string> FromAnsi(const std::string& text) override;
  std::optional<std::string> FromUtf8(const std::string& text) override;
};

}  // namespace setup::win32
