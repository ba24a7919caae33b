#include "support/system_info_win32.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "support/text_win32.h"

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
using GetFileVersionInfoSizeWFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetFileVersionInfoWFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using VerQueryValueWFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The version block of path, read with the functions of the current mode;
// empty when there is none.
std::unique_ptr<unsigned char[]> ReadVersionBlock(HMODULE version, const std::string& path) {
  DWORD handle = 0;
  if (UnicodeNames()) {
    const auto getSize = Lookup<GetFileVersionInfoSizeWFn>(version, "GetFileVersionInfoSizeW");
    const auto getInfo = Lookup<GetFileVersionInfoWFn>(version, "GetFileVersionInfoW");
    const std::optional<std::wstring> name = Widen(path);
    if (!getSize || !getInfo || !name) return nullptr;
    const DWORD size = getSize(name->c_str(), &handle);
    if (size == 0) return nullptr;
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[size]);
    if (!block || !getInfo(name->c_str(), handle, size, block.get())) return nullptr;
    return block;
  }
  const auto getSize = Lookup<GetFileVersionInfoSizeFn>(version, "GetFileVersionInfoSizeA");
  const auto getInfo = Lookup<GetFileVersionInfoFn>(version, "GetFileVersionInfoA");
  if (!getSize || !getInfo) return nullptr;
  const DWORD size = getSize(path.c_str(), &handle);
  if (size == 0) return nullptr;
  std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[size]);
  if (!block || !getInfo(path.c_str(), handle, size, block.get())) return nullptr;
  return block;
}

}  // namespace

ModuleHandle LoadSystemLibrary(const char* name) {
  const std::optional<std::string> system = Win32SystemInfo().SystemFolder();
  if (!system) return ModuleHandle();
  const std::string path = *system + "\\" + name;
  if (!UnicodeNames()) return ModuleHandle(::LoadLibraryA(path.c_str()));
  const std::optional<std::wstring> widePath = Widen(path);
  return ModuleHandle(widePath ? ::LoadLibraryW(widePath->c_str()) : nullptr);
}

// VERSION.dll is not one of the DLLs Windows always takes from its system
// folder: imported, a copy planted beside SETUP.EXE would be loaded before
// the program's first instruction. So it is loaded here, by its full path.
std::optional<FileVersion> Win32SystemInfo::GetFileVersion(const std::string& path) {
  const ModuleHandle version = LoadSystemLibrary("version.dll");
  if (!version.valid()) return std::nullopt;
  const std::unique_ptr<unsigned char[]> block = ReadVersionBlock(version.get(), path);
  if (!block) return std::nullopt;

  // The root block is the same structure in both forms.
  void* fixed = nullptr;
  UINT length = 0;
  BOOL found = FALSE;
  if (UnicodeNames()) {
    const auto query = Lookup<VerQueryValueWFn>(version.get(), "VerQueryValueW");
    found = query && query(block.get(), L"\\", &fixed, &length);
  } else {
    const auto query = Lookup<VerQueryValueFn>(version.get(), "VerQueryValueA");
    found = query && query(block.get(), "\\", &fixed, &length);
  }
  if (!found || !fixed || length < sizeof(VS_FIXEDFILEINFO)) return std::nullopt;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  return FileVersion{info->dwFileVersionMS, info->dwFileVersionLS};
}

std::optional<std::string> Win32SystemInfo::ModulePath() {
  if (UnicodeNames()) {
    std::wstring buffer(kModulePathCapacity, L'\0');
    const DWORD length = Wide().getModuleFileName(nullptr, &buffer[0], kModulePathCapacity);
    if (length == 0 || length >= kModulePathCapacity) return std::nullopt;
    return Narrow(buffer.data(), length);
  }
  std::string buffer(kModulePathCapacity, '\0');
  const DWORD length = ::GetModuleFileNameA(nullptr, &buffer[0], kModulePathCapacity);
  if (length == 0 || length >= kModulePathCapacity) return std::nullopt;
  buffer.resize(length);
  return buffer;
}

std::optional<std::string> Win32SystemInfo::SystemFolder() {
  if (UnicodeNames()) {
    std::wstring buffer(kFolderCapacity, L'\0');
    const UINT length = Wide().getSystemDirectory(&buffer[0], kFolderCapacity);
    if (length == 0 || length >= kFolderCapacity) return std::nullopt;
    return Narrow(buffer.data(), length);
  }
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
