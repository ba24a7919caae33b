// Starting a child process and waiting for its end, over the few calls of
// the operating system it needs, so that the decisions (when the wait is
// over, when to ask for elevation) are the same on Windows and in the tests.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "support/platform.h"

namespace setup {

namespace process {
constexpr uint32_t kStillActive = 259;             // STILL_ACTIVE
constexpr uint32_t kErrorElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED
constexpr uint32_t kPollMilliseconds = 500;
}  // namespace process

enum class WaitResult { Signalled, TimedOut, Failed };

// A started child, owned: destruction closes its handle.
class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // WaitForSingleObject on the process with the time-out.
  virtual WaitResult Wait(uint32_t milliseconds) = 0;
  // GetExitCodeProcess; nothing when it cannot be read.
  virtual std::optional<uint32_t> ExitCode() = 0;
};

// The result of one way of starting: the child, or the system's error code.
struct StartResult {
  std::unique_ptr<ChildProcess> child;
  uint32_t error = 0;
};

class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  // CreateProcess with arguments as the whole command line, hidden.
  virtual StartResult Create(const std::string& program, const std::string& arguments) = 0;
  // ShellExecuteEx with the default verb and arguments as the parameters,
  // hidden, keeping the process handle. The shell shows the elevation
  // prompt that the program's manifest asks for; a declined prompt fails
  // with ERROR_CANCELLED.
  virtual StartResult ShellStart(const std::string& program, const std::string& arguments) = 0;
  // Sleep.
  virtual void Pause(uint32_t milliseconds) = 0;
};

// Returns the child's exit code once it has ended: its handle is signalled
// or its exit code reads other than 259. A wait that fails returns at once,
// so it is retried after a pause of the poll interval. An ended child whose
// code cannot be read counts as 0.
uint32_t WaitForChild(ChildProcess& child, ProcessStarter& starter);

// Starts program and waits for it. A program that needs elevation
// (ERROR_ELEVATION_REQUIRED from Create, and only that error) is started
// again through the shell. Throws ProcessLaunchError, with the last way's
// error, when no way started it, also when the user declined the elevation
// prompt.
uint32_t RunChildProcess(ProcessStarter& starter, const std::string& program,
                         const std::string& arguments);

}  // namespace setup
