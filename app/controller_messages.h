// The private window messages of the controller window: its own, and the
// extraction worker's.
#pragma once

#include <cstdint>

#include "floppy/extract_messages.h"

namespace setup {

constexpr uint32_t WM_SETUP_INSTALL = kWmUser + 100;

constexpr uint32_t kSysCommandClose = 0xF060;  // SC_CLOSE

}  // namespace setup
