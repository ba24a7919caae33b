// ControllerDialog: the state of one run and the stage sequence. The
// controller window (template 102) translates its window messages into the
// On... calls below; everything the stages decide lives here.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/language_dialog.h"
#include "floppy/disk_set_copier.h"
#include "floppy/extraction_views.h"
#include "installer/install_launch.h"
#include "installer/installer_session.h"
#include "installer/prerequisites.h"
#include "support/file_utils.h"
#include "support/messages.h"
#include "support/platform.h"
#include "support/run_outcome.h"

namespace setup {

// The invisible controller window as the stages see it.
class ControllerWindow : public LanguageDialogOwner {
 public:
  // Creates the window from template 102 with no owner; it is never shown.
  // Its messages are handed to controller.
  virtual bool Create(class ControllerDialog& controller) = 0;
  virtual void Destroy() = 0;
  // PostMessage(window, WM_SETUP_INSTALL, 0, 0).
  virtual void PostSetupInstall() = 0;
  // PostQuitMessage(0).
  virtual void PostQuit() = 0;
  // PostMessage(window, WM_QUIT, 0, 0).
  virtual void PostQuitToWindow() = 0;
  // Runs the message loop until a quit message arrives.
  virtual void RunMessageLoop() = 0;
};

// The services of the platform that a run uses.
struct Services {
  FileSystem& files;
  ProcessRunner& processes;
  SystemInfo& system;
  MessageBoxes& boxes;
  StringCatalogue& catalogue;
  AutomationPlatform& automation;
};

// The process-wide objects of a run, built on the services.
class SetupContext {
 public:
  explicit SetupContext(Services& services)
      : services(services),
        fileUtils(services.files),
        messages(services.catalogue, services.boxes, &services.system),
        engine(services.files, messages),
        session(services.automation),
        launcher(fileUtils, services.processes, services.system, session, messages, outcome),
        prerequisites(services.system, fileUtils, launcher) {}

  Services& services;
  FileUtilities fileUtils;
  Messages messages;
  // The copy engine's state and the worker's cancel flag: once per process,
  // shared by the start-up code and the extraction worker.
  CopyEngineState engine;
  std::atomic<bool> cancelRequested{false};
  RunOutcome outcome;
  InstallerSession session;
  InstallLauncher launcher;
  Prerequisites prerequisites;
};

class ControllerDialog {
 public:
  // floppy is null when the windows of the floppy route are not available.
  ControllerDialog(SetupContext& context, ControllerWindow& window, LanguageDialogView& languageView,
                   FloppyViews* floppy = nullptr);

  // The language stage: prerequisites, package, Installer object, language.
  // True when WM_SETUP_INSTALL was posted or the language dialog is shown;
  // false when the run must end (the reason was reported).
  bool RunLanguageStage();
  // The install step: bootstrap programs, language check, msiexec.exe,
  // CloseSession, quit. Always true.
  bool RunInstallStep();

  // The floppy route. CheckTempSpace may replace folder with one the user
  // chose; StartDiskExtraction starts the worker (false, reported, when it
  // cannot be started).
  bool CheckTempSpace(std::string& folder, int64_t required);
  bool StartDiskExtraction(const std::string& targetFolder, const std::string& sourceFolder);
  bool WorkerStarted() const { return workerStarted_; }
  // After the message loop: stops a worker that is still copying and waits
  // for it to leave the engine. False when it did not end in time.
  bool StopWorker();

  // Window messages. HandleMessage calls the handler of a private message
  // and returns true; false for every other message.
  bool HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void OnSetupInstall() { RunInstallStep(); }
  void OnSysCommand(uint32_t commandId);
  void OnExtractBegin();
  void OnExtractEnd();
  void OnTotalProgress(uintptr_t range, intptr_t position);
  void OnDiskProgress(uintptr_t range, intptr_t position);
  void OnDiskNumber(uintptr_t diskNumber);

  // Options (copied from the command line) and the run's state.
  bool tempFolderCreated = false;
  std::string packageName;
  bool verboseLog = false;
  std::string silentInstallPath;
  bool silent = false;
  bool extraSilent = false;
  std::string packagePath;
  std::string wiProperties;
  LanguageDialog languageDialog;
  ExtractThread worker;
  std::optional<ExtractProgressDialog> progressDialog;  // with the floppy windows only
  std::string bootstrapDir;
  std::string walkPattern;
  std::string engineDir;
  std::string walkDir;

  void CopyOptions(const SetupCommandLineInfo& info);
  ControllerWindow& Window() { return window_; }
  SetupContext& Context() { return context_; }

 private:
  // Reports what a stage's failure scope caught; returns false.
  bool ReportStageFailure(const StageError& error, bool quietAllowed);

  SetupContext& context_;
  ControllerWindow& window_;
  FloppyViews* floppy_;
  bool workerStarted_ = false;
  // Set by a Close command: the run is ending, so no further stage starts.
  bool quitting_ = false;
};

// The default language code: the primary language of langId in decimal,
// zero-filled to four digits (7 -> "0007").
std::string DefaultLanguageCode(uint16_t langId);

}  // namespace setup
