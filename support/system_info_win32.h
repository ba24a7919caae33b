// SystemInfo over the Win32 system queries and the version resources.
#pragma once

#include <windows.h>

#include "support/handles_win32.h"
#include "support/platform.h"

namespace setup::win32 {

class Win32SystemInfo final : public SystemInfo {
 public:
  // Empty also when the path does not fit 4096 characters (it would be
  // cut) or has no form in the program's strings.
  std::optional<std::string> ModulePath() override;
  std::optional<std::string> SystemFolder() override;
  std::optional<FileVersion> GetFileVersion(const std::string& path) override;
  OsVersion GetOsVersion() override;
  uint16_t UserDefaultLangId() override;
  // The WSF_VISIBLE flag of the process's window station; true where the
  // system has no window stations (the 9x family) or the flag cannot be
  // read.
  bool WindowStationVisible() override;
  // From the system's generator (RtlGenRandom, Windows XP and later);
  // MixedNumber where there is none.
  uint32_t RandomNumber() override;

 private:
  uint32_t draws_ = 0;
};

// GetTickCount and Sleep.
class Win32Clock final : public Clock {
 public:
  uint32_t Milliseconds() override { return ::GetTickCount(); }
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

// For systems without a random generator (the 9x family, NT 4.0): a number
// mixed from the high-resolution clock, the time of day, the process and
// thread ids, the stack's address and draw, the caller's count of its
// draws (so that two draws within one clock tick differ too).
uint32_t MixedNumber(uint32_t draw);

// The DLL name (ASCII) of the system folder, loaded by its full path; null
// when it cannot be.
ModuleHandle LoadSystemLibrary(const char* name);

}  // namespace setup::win32
