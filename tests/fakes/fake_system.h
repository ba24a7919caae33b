// Child processes and system facts on demand.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/platform.h"

namespace setup::testing {

struct ProcessRun {
  std::string program;
  std::string arguments;
};

class FakeProcessRunner : public ProcessRunner {
 public:
  uint32_t Run(const std::string& program, const std::string& arguments) override;

  std::vector<ProcessRun> runs;
  std::map<std::string, uint32_t> exitCodes;  // by program path; 0 when absent
  std::set<std::string> unstartable;          // these throw ProcessLaunchError
  // Asked before each start: a nonzero answer refuses it with that error
  // code (ProcessLaunchError), as for a program a scanner holds.
  std::function<uint32_t(const std::string& program)> refuseStart;
  std::function<void(const ProcessRun&)> onRun;
};

// Time that passes only by Sleep (or a test moving now). Sleeping a day in
// all, or a million times, throws, so that a wait that never ends fails the
// test.
class FakeClock : public Clock {
 public:
  uint32_t Milliseconds() override { return now; }
  void Sleep(uint32_t milliseconds) override {
    sleeps.push_back(milliseconds);
    now += milliseconds;
    slept_ += milliseconds;
    if (slept_ > 24ull * 60 * 60 * 1000 || sleeps.size() > 1000000) {
      throw std::logic_error("a wait without end");
    }
  }

  uint32_t now = 0;
  std::vector<uint32_t> sleeps;

 private:
  uint64_t slept_ = 0;
};

// One poll of a fake child: what the wait answers, what the exit code reads.
struct WaitStep {
  WaitResult wait;
  std::optional<uint32_t> code;
};

// Starts children that answer the polls of steps in order; a poll past the
// last step throws, so a wait that never ends fails the test.
class FakeProcessStarter : public ProcessStarter {
 public:
  StartResult Create(const std::string& program, const std::string& arguments) override;
  StartResult ShellStart(const std::string& program, const std::string& arguments) override;
  void Pause(uint32_t milliseconds) override { pauses.push_back(milliseconds); }

  uint32_t createError = 0;  // 0: Create starts the child
  uint32_t shellError = 0;   // 0: ShellExecute starts the child
  std::vector<WaitStep> steps{{WaitResult::Signalled, 0}};
  std::vector<std::string> calls;  // "Create program|arguments", "ShellExecute ..."
  std::vector<uint32_t> pauses;
  std::size_t polls = 0;

 private:
  StartResult Start(uint32_t error);
};

class FakeSystemInfo : public SystemInfo {
 public:
  std::optional<std::string> ModulePath() override { return modulePath; }
  std::optional<std::string> SystemFolder() override { return systemFolder; }
  std::optional<FileVersion> GetFileVersion(const std::string& path) override;
  OsVersion GetOsVersion() override { return os; }
  uint16_t UserDefaultLangId() override { return langId; }
  bool WindowStationVisible() override { return windowStationVisible; }
  // randomNumbers in turn, over and over; distinct numbers when empty.
  uint32_t RandomNumber() override;

  std::optional<std::string> modulePath = std::string("D:\\SETUP.EXE");
  std::optional<std::string> systemFolder = std::string("C:\\Windows\\System32");
  std::map<std::string, FileVersion> versions{
      {"C:\\Windows\\System32\\msi.dll", FileVersion{(4u << 16) | 5u, (6001u << 16) | 22308u}}};
  OsVersion os{2, 6, 1, 7601, "Service Pack 1"};
  uint16_t langId = 1033;
  bool windowStationVisible = true;
  std::vector<uint32_t> randomNumbers;
  std::size_t draws = 0;
};

// The program's text as on the NT family (UTF-8), or with ansiProgram as on
// Windows 9x (the ANSI code page itself). The ANSI code page it models is
// 1252 cut down to ASCII and the letters in kAnsiLetters: any other byte
// above 0x7F is not valid there, and a character outside it has no ANSI
// form, so the conversions fail where a real code page fails.
class FakeTextCodec : public TextCodec {
 public:
  std::optional<std::string> FromAnsi(const std::string& text) override;
  std::optional<std::string> FromUtf8(const std::string& text) override;

  bool ansiProgram = false;
};

// The letters of the fake ANSI code page: its byte and their UTF-8.
extern const std::map<char, std::string> kAnsiLetters;

}  // namespace setup::testing
