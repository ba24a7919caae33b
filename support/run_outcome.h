// What the run has come to, for the process exit code. Written and read on
// the user-interface thread only.
#pragma once

#include <cstdint>
#include <optional>

namespace setup {

namespace exitcode {
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kUserExit = 1602;         // ERROR_INSTALL_USEREXIT
constexpr uint32_t kFailure = 1603;          // ERROR_INSTALL_FAILURE
constexpr uint32_t kSuspended = 1604;        // ERROR_INSTALL_SUSPEND
constexpr uint32_t kInstallerBusy = 1618;    // ERROR_INSTALL_ALREADY_RUNNING
constexpr uint32_t kRestartRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
}  // namespace exitcode

class RunOutcome {
 public:
  // msiexec.exe ran and ended with code.
  void InstallerEnded(uint32_t code) { installerCode_ = code; }
  // A failure was reported with one of the system's own messages (or none
  // could be shown).
  void Failed() { failed_ = true; }
  // The user left before the installation.
  void UserLeft() { userLeft_ = true; }
  // The user cancelled the wait for another installation to end: the run
  // ends as left by the user, whatever an earlier try answered (1618).
  void WaitCancelled() {
    installerCode_.reset();
    userLeft_ = true;
  }
  // The engine update programs ran and the run ends.
  void EngineUpdated() { engineUpdated_ = true; }
  // A bootstrap program succeeded but needs a restart to finish.
  void RestartRequired() { restartRequired_ = true; }

  // msiexec's own code wins, except that its success still owes the restart
  // a prerequisite asked for; then a failure, the user leaving, the engine
  // update; a run with none of these succeeded.
  uint32_t ExitCode() const {
    if (installerCode_) {
      if (*installerCode_ == exitcode::kSuccess && restartRequired_) {
        return exitcode::kRestartRequired;
      }
      return *installerCode_;
    }
    if (failed_) return exitcode::kFailure;
    if (userLeft_) return exitcode::kUserExit;
    if (engineUpdated_) return exitcode::kSuspended;
    return exitcode::kSuccess;
  }

 private:
  std::optional<uint32_t> installerCode_;
  bool failed_ = false;
  bool userLeft_ = false;
  bool engineUpdated_ = false;
  bool restartRequired_ = false;
};

}  // namespace setup
