#include "support/system_info_win32.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "support/handles_win32.h"

namespace setup::win32 {
namespace {

constexpr DWORD kModulePathCapacity = 4096;
constexpr UINT kFolderCapacity = 65000;

// A function of a loaded module, or null.
template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  FARPROC found = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The pre-2000 structure: the 9x family rejects the larger one.
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA must be the 148-byte form");

using GetFileVersionInfoSizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using GetFileVersionInfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using VerQueryValueFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

// VERSION.dll is not one of the DLLs Windows always takes from its system
// folder: imported, a copy planted beside SETUP.EXE would be loaded before
// the program's first instruction. So it is loaded here, by its full path.
std::optional<FileVersion> Win32SystemInfo::GetFileVersion(const std::string& path) {
  const std::optional<std::string> system = SystemFolder();
  if (!system) return std::nullopt;
  ModuleHandle version(::LoadLibraryA((*system + "\\version.dll").c_str()));
  if (!version.valid()) return std::nullopt;
  const auto getSize = Lookup<GetFileVersionInfoSizeFn>(version.get(), "GetFileVersionInfoSizeA");
  const auto getInfo = Lookup<GetFileVersionInfoFn>(version.get(), "GetFileVersionInfoA");
  const auto query = Lookup<VerQueryValueFn>(version.get(), "VerQueryValueA");
  if (!getSize || !getInfo || !query) return std::nullopt;

  DWORD handle = 0;
  const DWORD size = getSize(path.c_str(), &handle);
  if (size == 0) return std::nullopt;
  std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[size]);
  if (!block) return std::nullopt;
  if (!getInfo(path.c_str(), handle, size, block.get())) return std::nullopt;

  void* fixed = nullptr;
  UINT length = 0;
  if (!query(block.get(), "\\", &fixed, &length) || !fixed || length < sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  return FileVersion{info->dwFileVersionMS, info->dwFileVersionLS};
}

std::optional<std::string> Win32SystemInfo::ModulePath() {
  std::string buffer(kModulePathCapacity, '\0');
  const DWORD length = ::GetModuleFileNameA(nullptr, &buffer[0], kModulePathCapacity);
  if (length == 0 || length >= kModulePathCapacity) return std::nullopt;
  buffer.resize(length);
  return buffer;
}

std::optional<std::string> Win32SystemInfo::SystemFolder() {
  std::string buffer(kFolderCapacity, '\0');
  const UINT length = ::GetSystemDirectoryA(&buffer[0], kFolderCapacity);
  if (length == 0 || length >= kFolderCapacity) return std::nullopt;
  buffer.resize(length);
  return buffer;
}

OsVersion Win32SystemInfo::GetOsVersion() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ::GetVersionExA(&info);  // a failure leaves the zeros: an unsupported platform
  OsVersion version;
  version.platformId = info.dwPlatformId;
  version.majorVersion = info.dwMajorVersion;
  version.minorVersion = info.dwMinorVersion;
  version.buildNumber = info.dwBuildNumber;
  version.csdVersion.assign(info.szCSDVersion,
                            strnlen(info.szCSDVersion, sizeof(info.szCSDVersion)));
  return version;
}

uint16_t Win32SystemInfo::UserDefaultLangId() { return ::GetUserDefaultLangID(); }

bool Win32SystemInfo::WindowStationVisible() {
  // Looked up at run time: the 9x family's user32 lacks them, and the
  // loader would refuse the program there.
  using GetStation = HWINSTA(WINAPI*)();
  using GetInformation = BOOL(WINAPI*)(HANDLE, int, PVOID, DWORD, LPDWORD);
  HMODULE user32 = ::GetModuleHandleA("user32.dll");
  auto getStation = LookUp<GetStation>(user32, "GetProcessWindowStation");
  auto getInformation = LookUp<GetInformation>(user32, "GetUserObjectInformationA");
  if (getStation == nullptr || getInformation == nullptr) return true;
  HWINSTA station = getStation();  // not owned: never closed
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  if (station == nullptr || !getInformation(station, UOI_FLAGS, &flags, sizeof(flags), &needed)) {
    return true;
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace setup::win32
