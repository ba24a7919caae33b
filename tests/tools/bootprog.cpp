// bootprog: stands in for a prerequisite program, an engine update or
// msiexec.exe in test media. It appends "<own file name>|<arguments>" to the
// file named by SETUP_TEST_LOG and exits with the number that follows "exit"
// in its file name (b_exit1.exe exits 1), else with SETUP_TEST_EXIT, else 0.
// SETUP_TEST_EXITS, a comma-separated list, scripts the exit codes of its
// runs in turn (the Nth line of this name in the log takes the Nth code,
// the last one repeated). With SETUP_TEST_STARTS it also appends
// "<own file name> <ms since 1970>" to that file as it starts.
//
// The arguments are the raw command line, minus a leading token naming this
// program: a launcher that passes the arguments alone (as the bootstrapper
// does) must be logged byte for byte, leading blank included. Names and
// arguments are read in UTF-16 and logged in UTF-8, so a name in any script
// is logged as it is, whatever the system's ANSI code page.
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "support/handles_win32.h"
#include "unix_time.h"
#include "utf8_text.h"

namespace {

// ASCII letters only: enough for the names compared here.
std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ModuleName() {
  std::vector<wchar_t> buf(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0 || n >= buf.size()) return "?";
  return BaseName(Utf8(buf.data(), n));
}

std::string Arguments(const std::string& self) {
  const wchar_t* line = GetCommandLineW();
  std::string cmd = Utf8(line, wcslen(line));
  std::string first;
  size_t end;
  if (!cmd.empty() && cmd[0] == '"') {
    end = cmd.find('"', 1);
    if (end == std::string::npos) return cmd;
    first = cmd.substr(1, end - 1);
    ++end;
  } else {
    end = cmd.find_first_of(" \t");
    if (end == std::string::npos) end = cmd.size();
    first = cmd.substr(0, end);
  }
  std::string base = Upper(BaseName(first));
  std::string me = Upper(self);
  std::string meStem = me.size() > 4 ? me.substr(0, me.size() - 4) : me;
  if (first.empty() || (base != me && base != meStem)) return cmd;
  while (end < cmd.size() && (cmd[end] == ' ' || cmd[end] == '\t')) ++end;
  return cmd.substr(end);
}

// "exit" followed by decimal digits anywhere in the name, any letter case.
bool ExitCodeFromName(const std::string& name, DWORD* code) {
  std::string up = Upper(name);
  size_t at = up.find("EXIT");
  if (at == std::string::npos) return false;
  size_t digits = at + 4;
  size_t stop = digits;
  while (stop < up.size() && up[stop] >= '0' && up[stop] <= '9') ++stop;
  if (stop == digits || stop - digits > 10) return false;
  *code = static_cast<DWORD>(std::strtoul(up.substr(digits, stop - digits).c_str(), nullptr, 10));
  return true;
}

std::string Env(const char* name) {
  const std::wstring wide = Wide(name);
  DWORD n = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (n == 0) return std::string();
  std::vector<wchar_t> buf(n, L'\0');
  DWORD got = GetEnvironmentVariableW(wide.c_str(), buf.data(), n);
  if (got == 0 || got >= n) return std::string();
  return Utf8(buf.data(), got);
}

// Appends line to the file at path; a retry covers a file that another
// program of the same run holds open for a moment. Appends are atomic per
// write.
void Append(const std::string& path, const std::string& line) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    setup::win32::KernelHandle f(CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) {
      Sleep(20);
      continue;
    }
    DWORD written = 0;
    WriteFile(f.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return;
  }
}

// How many lines of the log at path this program wrote before.
size_t EarlierRuns(const std::string& path, const std::string& self) {
  setup::win32::KernelHandle f(CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (f.valid() && ReadFile(f.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    text.append(buffer, got);
  }
  size_t runs = 0;
  for (size_t at = 0; at < text.size();) {
    if (text.compare(at, self.size() + 1, self + "|") == 0) ++runs;
    const size_t end = text.find('\n', at);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return runs;
}

// Entry index of a comma-separated list, the last one past its end.
DWORD Scripted(const std::string& list, size_t index) {
  size_t start = 0;
  for (size_t i = 0; i < index; ++i) {
    const size_t comma = list.find(',', start);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return static_cast<DWORD>(std::strtoul(list.c_str() + start, nullptr, 10));
}

}  // namespace

int main() {
  std::string self = ModuleName();
  const std::string starts = Env("SETUP_TEST_STARTS");
  if (!starts.empty()) Append(starts, self + " " + std::to_string(UnixMilliseconds()) + "\r\n");
  std::string log = Env("SETUP_TEST_LOG");
  const std::string scripted = Env("SETUP_TEST_EXITS");
  const size_t run = scripted.empty() || log.empty() ? 0 : EarlierRuns(log, self);
  if (!log.empty()) Append(log, self + "|" + Arguments(self) + "\r\n");
  DWORD code = 0;
  if (!ExitCodeFromName(self, &code)) {
    std::string env = Env("SETUP_TEST_EXIT");
    if (!scripted.empty()) {
      code = Scripted(scripted, run);
    } else if (!env.empty()) {
      code = static_cast<DWORD>(std::strtoul(env.c_str(), nullptr, 10));
    }
  }
  return static_cast<int>(code);
}
