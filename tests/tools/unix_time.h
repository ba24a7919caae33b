// The time of day as the end-to-end tests compare it across programs and
// with the Unix side: milliseconds since 1970.
#pragma once

#include <windows.h>

inline unsigned long long UnixMilliseconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const unsigned long long ticks =
      (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return ticks / 10000 - 11644473600000ULL;  // 100 ns units since 1601
}
