#include "installer/prerequisites.h"

#include "support/messages.h"
#include "support/text.h"

namespace setup {

std::string FormatFileVersion(const FileVersion& version) {
  auto part = [](uint32_t word) { return IntToText(static_cast<int32_t>(word & 0xFFFF)); };
  return part(version.versionMS >> 16) + "." + part(version.versionMS) + "." +
         part(version.versionLS >> 16) + "." + part(version.versionLS);
}

int32_t CodeInstallerVersion(const std::string& versionString) {
  std::string rest = versionString;
  std::string digits;
  std::size_t dot = FindChar(rest, '.');
  if (dot != std::string::npos) {
    digits = rest.substr(0, dot);
    rest = rest.substr(dot + 1);
  }
  dot = FindChar(rest, '.');
  if (dot != std::string::npos) digits += rest.substr(0, dot);

  int64_t number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') break;
    number = number * 10 + (c - '0');
    if (number > INT32_MAX) return INT32_MAX;  // absurd versions still pass
  }
  if (number < 100) number *= 10;
  return static_cast<int32_t>(number);
}

PlatformFamily ClassifyPlatform(const OsVersion& os, std::string& familyName, bool& servicePackOk) {
  constexpr uint32_t kWin32Windows = 1;
  constexpr uint32_t kWin32NT = 2;
  servicePackOk = true;
  if (os.platformId == kWin32NT) {
    familyName = "WinNT";
    if (os.majorVersion == 4 && os.minorVersion == 0 && os.buildNumber <= 1381) {
      const std::string prefix = "Service Pack ";
      if (FindText(os.csdVersion, prefix) != 0) {
        servicePackOk = false;
      } else {
        servicePackOk = os.csdVersion.substr(prefix.size()).compare("6") >= 0;
      }
    }
    return PlatformFamily::WindowsNT;
  }
  if (os.platformId == kWin32Windows) {
    familyName = "Win9X";
    return PlatformFamily::Windows9x;
  }
  return PlatformFamily::Unsupported;
}

std::string Prerequisites::GetFileVersionString(const std::string& path) {
  std::optional<FileVersion> version = system_.GetFileVersion(path);
  return version ? FormatFileVersion(*version) : std::string();
}

int32_t Prerequisites::GetInstallerVersion() {
  std::optional<std::string> folder = system_.SystemFolder();
  if (!folder || folder->empty()) return 0;
  std::string path = *folder;
  TrimTrailing(path, '\\');
  path += "\\msi.dll";
  std::string version = GetFileVersionString(path);
  if (version.empty()) return 0;
  return CodeInstallerVersion(version);
}

PlatformFamily Prerequisites::GetPlatformFamily(std::string& familyName, bool& servicePackOk) {
  return ClassifyPlatform(system_.GetOsVersion(), familyName, servicePackOk);
}

void Prerequisites::CheckPrerequisites(const std::string& engineDir) {
  if (GetInstallerVersion() >= RequiredInstallerVersion) return;

  std::string familyName;
  bool servicePackOk = true;
  PlatformFamily family = GetPlatformFamily(familyName, servicePackOk);
  if (family == PlatformFamily::Unsupported) throw StageError{1};
  if (family == PlatformFamily::WindowsNT && !servicePackOk) throw StageError{13};

  std::string folder = engineDir + familyName + "\\";
  std::string search = folder;
  std::string name = "*.*";
  bool isFolder = false;
  for (bool found = fileUtils_.FindFile(search, name, isFolder); found;
       found = fileUtils_.FindFile(search, name, isFolder)) {
    if (!isFolder) {
      try {
        launcher_.RunBootstrapFile(folder + name, std::string());
      } catch (const ProcessLaunchError&) {
        // An update program that cannot be started ends the update like
        // one that failed: the run still ends without a message.
        break;
      }
    }
    name.clear();
  }
  std::string none;
  fileUtils_.FindFile(none, none, isFolder);  // closes the search after a break
  throw StageError{kQuietStageEnd};
}

}  // namespace setup
