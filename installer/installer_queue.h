// Windows Installer runs one installation at a time and holds a mutex while
// it does; an installation started meanwhile ends with 1618. Each
// installation of the run (msiexec.exe for the main package, a bootstrap
// package in-process) waits here for its turn, showing a small window with
// Cancel while it waits, instead of failing at once.
#pragma once

#include <cstdint>

#include "support/platform.h"
#include "support/run_outcome.h"

namespace setup {

// The installer's mutex on a system of that major version:
// "Global\_MSIExecute" where kernel object names have namespaces (5.0 on,
// the NT family from Windows 2000); "_MSIExecute" on the 9x family (all of
// version 4) and NT 4.0, whose object names may hold no backslash at all.
const char* InstallerMutexName(uint32_t majorVersion);

// The installer's mutex and the wait for it, on the user-interface thread.
class InstallerMutex {
 public:
  enum class WaitEnd { Free, TimedOut, Cancelled };
  virtual ~InstallerMutex() = default;
  // Handles the thread's window messages for up to milliseconds, then
  // returns TimedOut. With untilFree it returns Free as soon as no other
  // installation holds the mutex: at once, showing nothing, when none holds
  // it now or when it cannot be checked (the installation's own 1618 then
  // tells). With showWindow a window says that another installation is in
  // progress while it waits, and its Cancel ends the wait (Cancelled); a
  // quit message ends it the same way and stays for the run's own loop.
  virtual WaitEnd Wait(uint32_t milliseconds, bool untilFree, bool showWindow) = 0;
};

// How one installation's turn ended.
struct Turn {
  enum class End {
    Ran,        // code is the installation's answer (never 1618)
    Busy,       // the limit passed while another installation held the installer
    Cancelled,  // the user cancelled a wait; nothing was started after it
  };
  End end = End::Ran;
  uint32_t code = 0;
};

class InstallerQueue {
 public:
  // The limit of the wait for one installation. A widely used deployment
  // toolkit waits ten minutes before it reports 1618, and its users asked
  // for exactly that so that their deployment systems retry later.
  static constexpr uint32_t kLimit = 10 * 60 * 1000;
  // After a 1618 that came although the mutex looked free (another
  // installation began between the check and the start, or the mutex
  // cannot be seen): the pause before the next try.
  static constexpr uint32_t kRetryPause = 1000;

  // The window is shown unless system's window station is invisible.
  InstallerQueue(InstallerMutex& mutex, Clock& clock, SystemInfo& system)
      : mutex_(mutex), clock_(clock), system_(system) {}

  // Runs install (a call that answers an installer exit code) once no
  // other installation holds the mutex. When it answers 1618 all the same,
  // it waits kRetryPause, then for the mutex again, and tries again; all
  // within kLimit of the call.
  template <typename Install>
  Turn Run(Install install) {
    Waiting waiting = Begin();
    while (AwaitTry(waiting)) {
      const uint32_t code = install();
      if (code != exitcode::kInstallerBusy) return {Turn::End::Ran, code};
    }
    return waiting.end;
  }

  // Whether another installation holds the installer now.
  bool OtherInstallationRunning();

 private:
  struct Waiting {
    uint32_t start = 0;  // on the clock
    bool showWindow = false;
    bool retry = false;  // the last try answered 1618
    Turn end;            // when AwaitTry is false: how the turn ended
  };
  Waiting Begin();
  // Waits until the next try may start and returns true; false when the
  // turn ends instead (waiting.end).
  bool AwaitTry(Waiting& waiting);
  // Milliseconds left of the limit of the turn that started at start.
  uint32_t Left(uint32_t start);

  InstallerMutex& mutex_;
  Clock& clock_;
  SystemInfo& system_;
};

}  // namespace setup
