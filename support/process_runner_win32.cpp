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

}  // namespace

// The child's command line and program, UTF-16 in the Unicode mode: the
// same characters, so the same argument strings. A text with no UTF-16
// form (not whole UTF-8) starts nothing.
StartResult Win32ProcessStarter::Create(const std::string& program, const std::string& arguments) {
  if (arguments.size() >= kCommandLineCapacity) return NotStarted(ERROR_INVALID_PARAMETER);
  PROCESS_INFORMATION started = {};
  BOOL created = FALSE;
  if (UnicodeNames()) {
    const std::optional<std::wstring> wideProgram = Widen(program);
    const std::optional<std::wstring> wideArguments = Widen(arguments);
    if (!wideProgram || !wideArguments) return NotStarted(ERROR_INVALID_PARAMETER);
    // CreateProcessW may write into the command line: it gets a copy.
    std::vector<wchar_t> commandLine(kCommandLineCapacity, L'\0');
    wideArguments->copy(commandLine.data(), wideArguments->size());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    created = Wide().createProcess(wideProgram->c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                                   &startup, &started);
  } else {
    std::vector<char> commandLine(kCommandLineCapacity, '\0');
    arguments.copy(commandLine.data(), arguments.size());
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    created = ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                               CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                               &started);
  }
  if (!created) return NotStarted(::GetLastError());
  KernelHandle thread(started.hThread);
  return Started(started.hProcess);
}

namespace {

// The fields both forms of the shell's start share; see ShellStart.
template <typename Info>
Info ShellStartInfo() {
  Info info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.nShow = SW_HIDE;
  return info;
}

}  // namespace

StartResult Win32ProcessStarter::ShellStart(const std::string& program,
                                            const std::string& arguments) {
  // The default verb, not "runas": it elevates exactly as the program's
  // manifest (or the system's installer detection) asks, as starting it
  // from the shell would. No error box of the shell's own is shown, and the
  // call returns only when the start is complete, as this thread then
  // blocks in the wait without handling messages.
  HANDLE process = nullptr;
  if (UnicodeNames()) {
    const std::optional<std::wstring> wideProgram = Widen(program);
    const std::optional<std::wstring> wideArguments = Widen(arguments);
    if (!wideProgram || !wideArguments) return NotStarted(ERROR_INVALID_PARAMETER);
    auto info = ShellStartInfo<SHELLEXECUTEINFOW>();
    info.lpFile = wideProgram->c_str();
    info.lpParameters = wideArguments->c_str();
    if (!Wide().shellExecuteEx(&info)) return NotStarted(::GetLastError());
    process = info.hProcess;
  } else {
    auto info = ShellStartInfo<SHELLEXECUTEINFOA>();
    info.lpFile = program.c_str();
    info.lpParameters = arguments.c_str();
    if (!::ShellExecuteExA(&info)) return NotStarted(::GetLastError());
    process = info.hProcess;
  }
  // Without a process handle (a start through DDE) there is nothing to
  // wait for, and the walk must not go on beside the program.
  if (process == nullptr) return NotStarted(ERROR_INVALID_HANDLE);
  return Started(process);
}

void Win32ProcessStarter::Pause(uint32_t milliseconds) { ::Sleep(milliseconds); }

uint32_t Win32ProcessRunner::Run(const std::string& program, const std::string& arguments) {
  return RunChildProcess(starter_, program, arguments);
}

}  // namespace setup::win32
