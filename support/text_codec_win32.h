// TextCodec over the system's code-page tables.
#pragma once

#include "support/platform.h"

namespace setup::win32 {

class Win32TextCodec : public TextCodec {
 public:
  // unicode: the program holds UTF-8 (the NT family); otherwise it holds
  // the ANSI code page (Windows 9x).
  explicit Win32TextCodec(bool unicode) : unicode_(unicode) {}

  std::optional<std::string> FromAnsi(const std::string& text) override;
  std::optional<std::string> FromUtf8(const std::string& text) override;

 private:
  bool unicode_;
};

}  // namespace setup::win32
