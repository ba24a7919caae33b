#include "installer/installer_queue.h"

#include "support/run_outcome.h"

namespace setup {

std::string InstallerMutexName(const OsVersion& os) {
  constexpr uint32_t kPlatformNt = 2;  // VER_PLATFORM_WIN32_NT
  const bool namespaces = os.platformId == kPlatformNt && os.majorVersion >= 5;
  return namespaces ? "Global\\_MSIExecute" : "_MSIExecute";
}

Turn InstallerQueue::Run(const std::function<uint32_t()>& install) {
  using WaitEnd = InstallerMutex::WaitEnd;
  const bool showWindow = system_.WindowStationVisible();
  const uint32_t start = clock_.Milliseconds();
  for (bool retry = false;; retry = true) {
    if (retry) {
      if (Left(start) < kRetryPause) return {Turn::End::Busy, exitcode::kInstallerBusy};
      if (mutex_.Wait(kRetryPause, false, showWindow) == WaitEnd::Cancelled) {
        return {Turn::End::Cancelled, 0};
      }
    }
    switch (mutex_.Wait(Left(start), true, showWindow)) {
      case WaitEnd::Cancelled:
        return {Turn::End::Cancelled, 0};
      case WaitEnd::TimedOut:
        return {Turn::End::Busy, exitcode::kInstallerBusy};
      case WaitEnd::Free:
        break;
    }
    const uint32_t code = install();
    if (code != exitcode::kInstallerBusy) return {Turn::End::Ran, code};
  }
}

bool InstallerQueue::OtherInstallationRunning() {
  return mutex_.Wait(0, true, false) != InstallerMutex::WaitEnd::Free;
}

uint32_t InstallerQueue::Left(uint32_t start) {
  const uint32_t spent = clock_.Milliseconds() - start;
  return spent >= kLimit ? 0 : kLimit - spent;
}

}  // namespace setup
