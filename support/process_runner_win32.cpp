#include "support/process_runner_win32.h"

#include <windows.h>
// (needs <windows.h> first)
#include <shellapi.h>

#include <vector>

#include "support/handles_win32.h"
#include "support/text_win32.h"

namespace setup::win32 {
namespace {

// The capacity of the copy of the command line the child is started with,
// in characters, terminator included.
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

// The structures and functions of a process start in one form: the
// structures are what differs between them.
struct AnsiStart {
  using Char = char;
  using StartupInfo = STARTUPINFOA;
  using ShellInfo = SHELLEXECUTEINFOA;
  static decltype(&::CreateProcessA) StartFunction() { return ::CreateProcessA; }
  static decltype(&::ShellExecuteExA) ShellFunction() { return ::ShellExecuteExA; }
};

struct WideStart {
  using Char = wchar_t;
  using StartupInfo = STARTUPINFOW;
  using ShellInfo = SHELLEXECUTEINFOW;
  static decltype(&::CreateProcessW) StartFunction() { return Wide().CreateProcessW; }
  static decltype(&::ShellExecuteExW) ShellFunction() { return Wide().ShellExecuteExW; }
};

// Starts program hidden, with a copy of arguments as its command line
// (CreateProcess may write into it).
template <typename Form>
StartResult StartHidden(const typename Form::Char* program, const typename Form::Char* arguments) {
  using Char = typename Form::Char;
  std::vector<Char> commandLine(kCommandLineCapacity, Char());
  for (std::size_t i = 0; arguments[i] != Char() && i + 1 < commandLine.size(); ++i)
    commandLine[i] = arguments[i];
  typename Form::StartupInfo startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started = {};
  if (!Form::StartFunction()(program, commandLine.data(), nullptr, nullptr, TRUE,
                             CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                             &started)) {
    return NotStarted(::GetLastError());
  }
  KernelHandle thread(started.hThread);
  return Started(started.hProcess);
}

// The shell's start of program; see ShellStart.
template <typename Form>
StartResult ShellStartHidden(const typename Form::Char* program,
                             const typename Form::Char* arguments) {
  typename Form::ShellInfo info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.nShow = SW_HIDE;
  info.lpFile = program;
  info.lpParameters = arguments;
  if (!Form::ShellFunction()(&info)) return NotStarted(::GetLastError());
  // Without a process handle (a start through DDE) there is nothing to
  // wait for, and the walk must not go on beside the program.
  if (info.hProcess == nullptr) return NotStarted(ERROR_INVALID_HANDLE);
  return Started(info.hProcess);
}

}  // namespace

// The child's command line and program, UTF-16 in the Unicode mode: the
// same characters, so the same argument strings. A text with no UTF-16
// form (not whole UTF-8) starts nothing.
StartResult Win32ProcessStarter::Create(const std::string& program, const std::string& arguments) {
  if (arguments.size() >= kCommandLineCapacity) return NotStarted(ERROR_INVALID_PARAMETER);
  return WithNames(NotStarted(ERROR_INVALID_PARAMETER), StartHidden<AnsiStart>,
                   StartHidden<WideStart>, program, arguments);
}

StartResult Win32ProcessStarter::ShellStart(const std::string& program,
                                            const std::string& arguments) {
  // The default verb, not "runas": it elevates exactly as the program's
  // manifest (or the system's installer detection) asks, as starting it
  // from the shell would. No error box of the shell's own is shown, and the
  // call returns only when the start is complete, as this thread then
  // blocks in the wait without handling messages.
  return WithNames(NotStarted(ERROR_INVALID_PARAMETER), ShellStartHidden<AnsiStart>,
                   ShellStartHidden<WideStart>, program, arguments);
}

void Win32ProcessStarter::Pause(uint32_t milliseconds) { ::Sleep(milliseconds); }

uint32_t Win32ProcessRunner::Run(const std::string& program, const std::string& arguments) {
  return RunChildProcess(starter_, program, arguments);
}

}  // namespace setup::win32
