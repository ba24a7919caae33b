// The messages the extraction worker sends to the window that runs it.
#pragma once

#include <cstdint>

namespace setup {

constexpr uint32_t kWmUser = 0x400;
constexpr uint32_t WM_EXTRACT_BEGIN = kWmUser + 213;
constexpr uint32_t WM_EXTRACT_END = kWmUser + 214;
constexpr uint32_t WM_EXTRACT_TOTAL_PROGRESS = kWmUser + 215;
constexpr uint32_t WM_EXTRACT_DISK_PROGRESS = kWmUser + 216;
constexpr uint32_t WM_EXTRACT_DISK_NUMBER = kWmUser + 217;

}  // namespace setup
