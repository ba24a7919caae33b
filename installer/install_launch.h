// Starting installations: the main package through msiexec.exe, bootstrap
// packages in-process, bootstrap programs as child processes; finding the
// package; and the argument string of msiexec.exe.
#pragma once

#include <cstdint>
#include <string>

#include "installer/installer_queue.h"
#include "installer/installer_session.h"
#include "support/file_utils.h"
#include "support/messages.h"
#include "support/platform.h"
#include "support/run_outcome.h"

namespace setup {

constexpr uint32_t kLaunchFailureCode = 2;
constexpr int32_t kUILevelFull = 5;
constexpr int32_t kUILevelNoneHideCancel = 34;
constexpr int32_t kUILevelBasicHideCancel = 35;

// The upper-cased text after the last '.', or empty.
std::string GetUpperExtension(const std::string& path);

// A value for a double-quoted argument of msiexec.exe: every double quote
// is written twice, so the value cannot end its quotes early.
std::string QuoteArgumentValue(const std::string& value);

// The argument string of msiexec.exe (begins with a blank). logFile is the
// text after "/lv" (already quoted where it needs to be); empty: no log.
std::string BuildMsiexecArguments(const std::string& packagePath, const std::string& properties,
                                  const std::string& logFile, bool silent,
                                  const std::string& silentInstallPath);

// Where msiexec.exe can write its log, as the text after "/lv": "setup.log"
// when that file can be created or opened for writing in the current
// folder (the one msiexec.exe inherits), else the quoted full path of
// setup.log in the temporary folder ("setup.log" again when the file system
// names none, or an empty one). Windows Installer ends with 1622,
// before it installs anything, when it cannot open its log: a read-only
// medium or share, or a current folder that is gone. The test is a real
// open; a setup.log it had to create is removed again.
std::string ChooseLogFile(FileUtilities& fileUtils);

// "TRANSFORMS=" + quoted folder\transform, then the extra properties,
// trailing white space removed.
std::string BuildMainProperties(const std::string& packageFolder, const std::string& transformName,
                                const std::string& extraProperties);

// The bootstrap argument for the options: "", "/q" or "/eq".
std::string BootstrapArgument(bool silent, bool extraSilent);

// The run ends where it is: another installation kept the installer past
// the limit (reported as its 1618), or the user cancelled the wait. The
// outcome is recorded and reported already.
struct RunEnds {};

struct InstallOptions {
  std::string silentInstallPath;
  bool mainPackage = false;
  bool verboseLog = false;
  bool silent = false;
  bool useTempDirectory = false;
  bool extraSilent = false;
  std::string extraProperties;
};

class InstallLauncher {
 public:
  InstallLauncher(FileUtilities& fileUtils, ProcessRunner& processes, SystemInfo& system,
                  InstallerSession& session, Messages& messages, RunOutcome& outcome,
                  InstallerQueue& queue, Clock& clock)
      : fileUtils_(fileUtils),
        processes_(processes),
        system_(system),
        session_(session),
        messages_(messages),
        outcome_(outcome),
        queue_(queue),
        clock_(clock) {}

  // The bootstrap files were just copied from floppies, so a scanner may
  // still hold them: a start or open refused as ERROR_ACCESS_DENIED is
  // waited out as well (see IsMomentaryRefusal).
  void FilesJustCopied() { justCopied_ = true; }

  // folder (with trailing '\') becomes the full path of the first match of
  // name (or "*.msi" when name is empty), or empty.
  void FindPackage(std::string& folder, const std::string& name);
  // 0, or the nonzero exit code of a program. A start refused for a
  // moment is tried again (RetryBudget); throws ProcessLaunchError when the
  // program cannot be started. Throws RunEnds when a package's turn ends
  // without it (InstallerQueue).
  uint32_t RunBootstrapFile(const std::string& path, const std::string& argument);
  // The walk's step: true (go on) when the file succeeded, also with 3010,
  // which is kept for the exit code.
  bool VisitBootstrapFile(const std::string& path, const std::string& argument);
  // Throws StageError{12} when the transform is missing beside a main
  // package, and RunEnds when a bootstrap package's turn ends without it;
  // reports everything else itself. Each installation waits its turn
  // (InstallerQueue); a bootstrap package that cannot be read for a moment
  // is waited for as well.
  void InstallPackage(const std::string& packagePath, const InstallOptions& options);
  // The exit code of msiexec.exe, or kLaunchFailureCode when it could not be
  // started. Throws AutomationError when the session holds no Installer.
  uint32_t LaunchMsiexec(const std::string& packagePath, const std::string& properties,
                         bool verboseLog, bool silent, const std::string& silentInstallPath);

 private:
  void InstallBootstrapPackage(const std::string& packagePath, const InstallOptions& options);
  // Waits, within a RetryBudget, while path cannot be read for a moment.
  void AwaitReadable(const std::string& path);
  // Records and reports a turn that ended without the installation's
  // answer.
  void ReportTurnWithoutAnswer(const Turn& turn);

  FileUtilities& fileUtils_;
  ProcessRunner& processes_;
  SystemInfo& system_;
  InstallerSession& session_;
  Messages& messages_;
  RunOutcome& outcome_;
  InstallerQueue& queue_;
  Clock& clock_;
  bool justCopied_ = false;
};

}  // namespace setup
