// The platform prerequisites: the version of the Windows Installer engine,
// the platform family, and the engine update.
#pragma once

#include <cstdint>
#include <string>

#include "installer/install_launch.h"
#include "support/file_utils.h"
#include "support/platform.h"

namespace setup {

constexpr int32_t RequiredInstallerVersion = 200;

enum class PlatformFamily { Unsupported = 0, WindowsNT = 1, Windows9x = 2 };

// "a.b.c.d" from the file version, or empty.
std::string FormatFileVersion(const FileVersion& version);
// The first two components of a version string coded as a number
// (2.0.2600.2 -> 200, 1.20.1827.0 -> 120, 10.0.1.0 -> 100); 0 when none.
int32_t CodeInstallerVersion(const std::string& versionString);
// The family, its folder name ("WinNT", "Win9X"; unchanged for
// Unsupported) and the service-pack verdict (false only for NT 4.0 up to
// build 1381 below Service Pack 6).
PlatformFamily ClassifyPlatform(const OsVersion& os, std::string& familyName, bool& servicePackOk);

class Prerequisites {
 public:
  Prerequisites(SystemInfo& system, FileUtilities& fileUtils, InstallLauncher& launcher)
      : system_(system), fileUtils_(fileUtils), launcher_(launcher) {}

  std::string GetFileVersionString(const std::string& path);
  int32_t GetInstallerVersion();
  PlatformFamily GetPlatformFamily(std::string& familyName, bool& servicePackOk);
  // Returns when the engine is new enough. Otherwise throws StageError 1 or
  // 13, or runs the engine update programs of engineDir + family + '\' and
  // throws StageError{kQuietStageEnd}. A program that cannot be started
  // throws ProcessLaunchError.
  void CheckPrerequisites(const std::string& engineDir);

 private:
  SystemInfo& system_;
  FileUtilities& fileUtils_;
  InstallLauncher& launcher_;
};

}  // namespace setup
