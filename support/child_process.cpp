#include "support/child_process.h"

namespace setup {

uint32_t WaitForChild(ChildProcess& child, ProcessStarter& starter) {
  for (;;) {
    const WaitResult waited = child.Wait(process::kPollMilliseconds);
    const std::optional<uint32_t> code = child.ExitCode();
    // 259 is also a real exit code; only the signalled handle tells.
    if (waited == WaitResult::Signalled) return code.value_or(0);
    if (code && *code != process::kStillActive) return *code;
    if (waited == WaitResult::Failed) starter.Pause(process::kPollMilliseconds);
  }
}

uint32_t RunChildProcess(ProcessStarter& starter, const std::string& program,
                         const std::string& arguments) {
  StartResult started = starter.Create(program, arguments);
  if (!started.child && started.error == process::kErrorElevationRequired) {
    started = starter.ShellStart(program, arguments);
  }
  if (!started.child) throw ProcessLaunchError(program, started.error);
  return WaitForChild(*started.child, starter);
}

}  // namespace setup
