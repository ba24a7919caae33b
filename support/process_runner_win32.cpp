#include "support/process_runner_win32.h"

#include <windows.h>

#include <vector>

#include "support/handles_win32.h"

namespace setup::win32 {
namespace {

// CreateProcessA may write into the command line, so it gets a copy of this
// capacity (terminator included).
constexpr std::size_t kCommandLineCapacity = 65000;
constexpr DWORD kPollMilliseconds = 500;

}  // namespace

uint32_t Win32ProcessRunner::Run(const std::string& program, const std::string& arguments) {
  if (arguments.size() >= kCommandLineCapacity) throw ProcessLaunchError(program);
  std::vector<char> commandLine(kCommandLineCapacity, '\0');
  arguments.copy(commandLine.data(), arguments.size());

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                        &started)) {
    throw ProcessLaunchError(program);
  }
  KernelHandle process(started.hProcess);
  KernelHandle thread(started.hThread);

  // STILL_ACTIVE (259) is also a real exit code. Once the wait has ended
  // other than by time-out (the process is signalled, or the wait cannot
  // work at all), whatever GetExitCodeProcess says is final.
  DWORD exitCode = 0;
  for (;;) {
    const DWORD waited = ::WaitForSingleObject(process.get(), kPollMilliseconds);
    if (!::GetExitCodeProcess(process.get(), &exitCode)) return 0;
    if (exitCode != STILL_ACTIVE || waited != WAIT_TIMEOUT) return exitCode;
  }
}

}  // namespace setup::win32
