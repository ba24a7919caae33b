#include "installer/installer_queue.h"

namespace setup {

const char* InstallerMutexName(uint32_t majorVersion) {
  return majorVersion >= 5 ? "Global\\_MSIExecute" : "_MSIExecute";
}

InstallerQueue::Waiting InstallerQueue::Begin() {
  Waiting waiting;
  waiting.start = clock_.Milliseconds();
  waiting.showWindow = system_.WindowStationVisible();
  return waiting;
}

bool InstallerQueue::AwaitTry(Waiting& waiting) {
  using WaitEnd = InstallerMutex::WaitEnd;
  const bool retry = waiting.retry;
  waiting.retry = true;
  if (retry && Left(waiting.start) < kRetryPause) {
    waiting.end = {Turn::End::Busy, exitcode::kInstallerBusy};
    return false;
  }
  WaitEnd end = WaitEnd::Free;
  if (retry) end = mutex_.Wait(kRetryPause, false, waiting.showWindow);
  if (end != WaitEnd::Cancelled) end = mutex_.Wait(Left(waiting.start), true, waiting.showWindow);
  if (end == WaitEnd::Free) return true;
  waiting.end = end == WaitEnd::Cancelled ? Turn{Turn::End::Cancelled, 0}
                                          : Turn{Turn::End::Busy, exitcode::kInstallerBusy};
  return false;
}

bool InstallerQueue::OtherInstallationRunning() {
  return mutex_.Wait(0, true, false) != InstallerMutex::WaitEnd::Free;
}

uint32_t InstallerQueue::Left(uint32_t start) {
  const uint32_t spent = clock_.Milliseconds() - start;
  return spent >= kLimit ? 0 : kLimit - spent;
}

}  // namespace setup
