// SystemInfo over the Win32 system queries and the version resources.
#pragma once

#include "support/platform.h"

namespace setup::win32 {

class Win32SystemInfo final : public SystemInfo {
 public:
  // Empty also when the path does not fit 4096 bytes (it would be cut).
  std::optional<std::string> ModulePath() override;
  std::optional<std::string> SystemFolder() override;
  std::optional<FileVersion> GetFileVersion(const std::string& path) override;
  OsVersion GetOsVersion() override;
  uint16_t UserDefaultLangId() override;
  // The WSF_VISIBLE flag of the process's window station; true where the
  // system has no window stations (the 9x family) or the flag cannot be
  // read.
  bool WindowStationVisible() override;
};

}  // namespace setup::win32
