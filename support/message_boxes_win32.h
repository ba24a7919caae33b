// Message boxes and the string table of the program's own resources.
#pragma once

#include "support/platform.h"

namespace setup::win32 {

class Win32MessageBoxes final : public MessageBoxes {
 public:
  int Show(const std::string& text, const std::string& caption, uint32_t style) override;
};

// Reads the string table blocks directly, so a text of any length loads
// whole (LoadString cuts at its buffer) and the same code works on the 9x
// family.
class ResourceStringCatalogue final : public StringCatalogue {
 public:
  std::string Load(uint32_t id) override;
};

}  // namespace setup::win32
