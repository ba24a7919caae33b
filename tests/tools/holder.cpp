// holder: stands in for another program that holds something SETUP.EXE
// needs, for the end-to-end tests. Every wait is bounded.
//
//   holder mutex SECONDS
//     another installation: creates the installer's mutex
//     Global\_MSIExecute owned, holds it SECONDS, releases it
//   holder scan FOLDER NAME BYTES SECONDS [TIMEOUT]
//     a virus scanner: waits (at most TIMEOUT seconds, default 120) until a
//     file NAME (a relative path) of BYTES bytes appears in a sub-folder of
//     FOLDER, opens it with no sharing, holds it SECONDS, closes it. The
//     size is read without opening the file, so that a file still being
//     written is not disturbed.
//   holder scan-shared ...
//     the same, but the file is opened sharing reading and deletion, as
//     many scanners do: it can be started and deleted meanwhile, and a
//     delete waits until the scanner lets go.
//
// It prints "held <ms>" once it holds and "released <ms>" as it lets go,
// in milliseconds since 1970 (the clock SETUP_TEST_STARTS of bootprog
// uses), each line flushed at once. Exit status: 0 done, 1 nothing to hold
// in time, 2 usage.
#include <windows.h>
// (needs <windows.h> first)
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/handles_win32.h"
#include "unix_time.h"
#include "utf8_text.h"

namespace {

using setup::win32::FindHandle;
using setup::win32::KernelHandle;

void Say(const char* what) {
  std::printf("%s %llu\n", what, UnixMilliseconds());
  std::fflush(stdout);
}

DWORD Milliseconds(const std::string& seconds) {
  return static_cast<DWORD>(std::atof(seconds.c_str()) * 1000);
}

int HoldMutex(DWORD milliseconds) {
  KernelHandle mutex(CreateMutexW(nullptr, TRUE, L"Global\\_MSIExecute"));
  if (!mutex.valid() || GetLastError() == ERROR_ALREADY_EXISTS) return 1;
  Say("held");
  Sleep(milliseconds);
  ReleaseMutex(mutex.get());
  Say("released");
  return 0;
}

// The sub-folders of folder (full paths).
std::vector<std::wstring> SubFolders(const std::wstring& folder) {
  std::vector<std::wstring> found;
  WIN32_FIND_DATAW data;
  FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &data));
  for (bool more = search.valid(); more; more = FindNextFileW(search.get(), &data) != FALSE) {
    const std::wstring name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..") {
      found.push_back(folder + L"\\" + name);
    }
  }
  return found;
}

bool HasSize(const std::wstring& path, unsigned long long bytes) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  return ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) == bytes;
}

int Scan(const std::wstring& folder, const std::wstring& name, unsigned long long bytes,
         DWORD share, DWORD milliseconds, DWORD timeout) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeout) {
    for (const std::wstring& sub : SubFolders(folder)) {
      const std::wstring path = sub + L"\\" + name;
      if (!HasSize(path, bytes)) continue;
      KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file.valid()) continue;
      Say("held");
      Sleep(milliseconds);
      file.reset();
      Say("released");
      return 0;
    }
    Sleep(1);
  }
  return 1;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; words != nullptr && i < count; ++i) args.push_back(Utf8(std::wstring(words[i])));
  LocalFree(words);
  if (args.size() == 3 && args[1] == "mutex") return HoldMutex(Milliseconds(args[2]));
  if ((args.size() == 6 || args.size() == 7) && (args[1] == "scan" || args[1] == "scan-shared")) {
    const DWORD share = args[1] == "scan" ? 0 : FILE_SHARE_READ | FILE_SHARE_DELETE;
    return Scan(Wide(args[2]), Wide(args[3]), std::strtoull(args[4].c_str(), nullptr, 10), share,
                Milliseconds(args[5]), args.size() == 7 ? Milliseconds(args[6]) : 120000);
  }
  std::fprintf(stderr,
               "usage: holder mutex SECONDS | holder scan|scan-shared FOLDER NAME BYTES SECONDS "
               "[TIMEOUT]\n");
  return 2;
}
