#include "support/system_info_win32.h"

#include <windows.h>
// (needs <windows.h> first)
#include <ntsecapi.h>

#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "support/text_win32.h"

namespace setup::win32 {
namespace {

constexpr DWORD kModulePathCapacity = 4096;
constexpr DWORD kFolderCapacity = 65000;

// The pre-2000 structure: the 9x family rejects the larger one.
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA must be the 148-byte form");

// The fixed file version of name's version resource, read with the
// functions of name's form; nullopt when any of them is missing.
template <typename Char, typename GetSize, typename GetInfo, typename Query>
std::optional<FileVersion> ReadFileVersion(const Char* name, GetSize getSize, GetInfo getInfo,
                                           Query query) {
  if (!getSize || !getInfo || !query) return std::nullopt;
  DWORD handle = 0;
  const DWORD size = getSize(name, &handle);
  if (size == 0) return std::nullopt;
  std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[size]);
  if (!block || !getInfo(name, handle, size, block.get())) return std::nullopt;
  const Char root[] = {'\\', '\0'};
  void* fixed = nullptr;
  UINT length = 0;
  if (!query(block.get(), root, &fixed, &length) || !fixed || length < sizeof(VS_FIXEDFILEINFO))
    return std::nullopt;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  return FileVersion{info->dwFileVersionMS, info->dwFileVersionLS};
}

// The queries of ModulePath and SystemFolder, as ReadText calls them.
DWORD WINAPI ModuleFileNameA(DWORD capacity, LPSTR buffer) {
  return ::GetModuleFileNameA(nullptr, buffer, capacity);
}
DWORD WINAPI ModuleFileNameW(DWORD capacity, LPWSTR buffer) {
  return Wide().GetModuleFileNameW(nullptr, buffer, capacity);
}
DWORD WINAPI SystemDirectoryA(DWORD capacity, LPSTR buffer) {
  return ::GetSystemDirectoryA(buffer, capacity);
}
DWORD WINAPI SystemDirectoryW(DWORD capacity, LPWSTR buffer) {
  return Wide().GetSystemDirectoryW(buffer, capacity);
}

}  // namespace

ModuleHandle LoadSystemLibrary(const char* name) {
  const std::optional<std::string> system = Win32SystemInfo().SystemFolder();
  if (!system) return ModuleHandle();
  return ModuleHandle(
      WithNames(HMODULE{}, ::LoadLibraryA, Wide().LoadLibraryW, *system + "\\" + name));
}

// VERSION.dll is not one of the DLLs Windows always takes from its system
// folder: imported, a copy planted beside SETUP.EXE would be loaded before
// the program's first instruction. So it is loaded here, by its full path.
std::optional<FileVersion> Win32SystemInfo::GetFileVersion(const std::string& path) {
  const ModuleHandle loaded = LoadSystemLibrary("version.dll");
  if (!loaded.valid()) return std::nullopt;
  const HMODULE version = loaded.get();
  return WithNames(
      std::optional<FileVersion>(),
      [&](const char* name) {
        return ReadFileVersion(name, SETUP_LOOK_UP(version, GetFileVersionInfoSizeA),
                               SETUP_LOOK_UP(version, GetFileVersionInfoA),
                               SETUP_LOOK_UP(version, VerQueryValueA));
      },
      [&](const wchar_t* name) {
        return ReadFileVersion(name, SETUP_LOOK_UP(version, GetFileVersionInfoSizeW),
                               SETUP_LOOK_UP(version, GetFileVersionInfoW),
                               SETUP_LOOK_UP(version, VerQueryValueW));
      },
      path);
}

std::optional<std::string> Win32SystemInfo::ModulePath() {
  return ReadText(kModulePathCapacity, ModuleFileNameA, ModuleFileNameW);
}

std::optional<std::string> Win32SystemInfo::SystemFolder() {
  return ReadText(kFolderCapacity, SystemDirectoryA, SystemDirectoryW);
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
  const HMODULE user32 = ::GetModuleHandleA("user32.dll");
  const auto getStation = SETUP_LOOK_UP(user32, GetProcessWindowStation);
  const auto getInformation = SETUP_LOOK_UP(user32, GetUserObjectInformationA);
  if (getStation == nullptr || getInformation == nullptr) return true;
  HWINSTA station = getStation();  // not owned: never closed
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  if (station == nullptr || !getInformation(station, UOI_FLAGS, &flags, sizeof(flags), &needed)) {
    return true;
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

// ADVAPI32 is loaded by its full path, as the program imports nothing of
// it.
uint32_t Win32SystemInfo::RandomNumber() {
  const ModuleHandle advapi32 = LoadSystemLibrary("advapi32.dll");
  const auto generate = SETUP_LOOK_UP(advapi32.get(), SystemFunction036);
  uint32_t number = 0;
  if (generate && generate(&number, sizeof(number))) return number;
  return MixedNumber(++draws_);
}

uint32_t MixedNumber(uint32_t draw) {
  LARGE_INTEGER counter = {};
  ::QueryPerformanceCounter(&counter);
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t parts[] = {
      (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime,
      (uint64_t{::GetCurrentProcessId()} << 32) | ::GetCurrentThreadId(),
      static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&counter)),
      draw,
  };
  uint64_t mixed = static_cast<uint64_t>(counter.QuadPart);
  for (const uint64_t part : parts) {
    mixed = (mixed ^ part) * 0x9E3779B97F4A7C15u;
    mixed ^= mixed >> 29;
  }
  return static_cast<uint32_t>(mixed >> 32);
}

}  // namespace setup::win32
