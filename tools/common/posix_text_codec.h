// TextCodec for the tools on the build machine, whose names are UTF-8. The
// ANSI code page of a customer's Windows cannot be known here; a manifest
// without the UTF-8 mark is read as Windows-1252, the code page of Western
// European and American systems.
#pragma once

#include "support/platform.h"

namespace setup::tools {

class PosixTextCodec : public TextCodec {
 public:
  // Windows-1252 to UTF-8: every byte has a character there.
  std::optional<std::string> FromAnsi(const std::string& text) override;
  // The text itself when it is strict UTF-8.
  std::optional<std::string> FromUtf8(const std::string& text) override;
};

}  // namespace setup::tools
