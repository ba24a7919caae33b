#include "support/process_runner_win32.h"

#include <windows.h>
// (needs <windows.h> first)
#include <shellapi.h>

#include <vector>

#include "support/handles_win32.h"

namespace setup::win32 {
namespace {

// CreateProcessA may write into the command line, so it gets a copy of this
// capacity (terminator included).
constexpr std::size_t kCommandLineCapacity = 65000;

class Win32ChildProcess final : public ChildProcess {
 public:
  explicit Win32ChildProcess(HANDLE process) : process_(process) {}
  WaitResult Wait(uint32_t milliseconds) override {
    switch (::WaitForSingleObject(process_.get(), milliseconds)) {
      case WAIT_OBJECT_0:
        return WaitResult::Signalled;
      case WAIT_TIMEOUT:
        return WaitResult::TimedOut;
      default:
        return WaitResult::Failed;
    }
  }
  std::optional<uint32_t> ExitCode() override {
    DWORD code = 0;
    if (!::GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
    return code;
  }

 private:
  KernelHandle process_;
};

StartResult Started(HANDLE process) {
  StartResult result;
  result.child = std::make_unique<Win32ChildProcess>(process);
  return result;
}

StartResult NotStarted(DWORD error) {
  StartResult result;
  result.error = error;
  return result;
}

}  // namespace

StartResult Win32ProcessStarter::Create(const std::string& program, const std::string& arguments) {
  if (arguments.size() >= kCommandLineCapacity) return NotStarted(ERROR_INVALID_PARAMETER);
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
    return NotStarted(::GetLastError());
  }
  KernelHandle thread(started.hThread);
  return Started(started.hProcess);
}

StartResult Win32ProcessStarter::ShellStart(const std::string& program,
                                            const std::string& arguments) {
  // The default verb, not "runas": it elevates exactly as the program's
  // manifest (or the system's installer detection) asks, as starting it
  // from the shell would. No error box of the shell's own is shown, and the
  // call returns only when the start is complete, as this thread then
  // blocks in the wait without handling messages.
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpFile = program.c_str();
  info.lpParameters = arguments.c_str();
  info.nShow = SW_HIDE;
  if (!::ShellExecuteExA(&info)) return NotStarted(::GetLastError());
  // Without a process handle (a start through DDE) there is nothing to
  // wait for, and the walk must not go on beside the program.
  if (info.hProcess == nullptr) return NotStarted(ERROR_INVALID_HANDLE);
  return Started(info.hProcess);
}

void Win32ProcessStarter::Pause(uint32_t milliseconds) { ::Sleep(milliseconds); }

uint32_t Win32ProcessRunner::Run(const std::string& program, const std::string& arguments) {
  return RunChildProcess(starter_, program, arguments);
}

}  // namespace setup::win32
