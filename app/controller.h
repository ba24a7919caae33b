// ControllerDialog: the state of one run and its stages. The controller
// window (template 102) translates its window messages into the On... calls
// below; everything the stages decide lives here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/language_dialog.h"
#include "app/setup_context.h"
#include "floppy/extraction_views.h"

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

class ControllerDialog {
 public:
  // floppy is null when the windows of the floppy route are not available.
  ControllerDialog(SetupContext& context, ControllerWindow& window,
                   LanguageDialogView& languageView, FloppyViews* floppy,
                   const SetupCommandLineInfo& options);

  // The folder the program was started from, ending in '\': the medium.
  void SetSourceFolder(const std::string& folder);

  // The stages. Each returns true when the run goes on in the message loop
  // and false when it must end (the reason was reported).
  // The floppy route's first stage: the temporary folder with room for the
  // set, the run's own folder inside it, and the worker that copies there.
  bool RunExtractionStage();
  // Prerequisites, package, Installer object, language: true when
  // WM_SETUP_INSTALL was posted or the language dialog is shown.
  bool RunLanguageStage();
  // Bootstrap programs, language check, msiexec.exe, CloseSession, quit.
  // Always true.
  bool RunInstallStep();

  // The extraction stage's last step, on its own for the windows' tests:
  // starts the worker copying the set of sourceFolder into targetFolder
  // (false, reported, when it cannot be started).
  bool StartDiskExtraction(const std::string& targetFolder, const std::string& sourceFolder);

  // After the message loop: stops a worker that is still copying and waits
  // for it to leave the engine. False when it did not end in time.
  bool StopWorker();
  // After StopWorker: removes what the extraction copied and the folders
  // it created, and forgets the manifest. Nothing on the direct route.
  void RemoveExtraction();

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

  LanguageDialog& Languages() { return languageDialog; }
  ExtractThread& Worker() { return worker; }
  ExtractProgressDialog* ProgressDialog() { return progressDialog ? &*progressDialog : nullptr; }
  SetupContext& Context() { return context_; }

 private:
  // The floppy route's steps.
  bool CheckTempSpace(std::string& folder, int64_t required);
  // The language stage's steps.
  bool TakeDefaultTransform(const std::string& folder);
  void ChooseEnglish();
  void OpenLanguageQuery();
  void CloseLanguageQuery();
  bool OfferLanguages();
  // Records the language of prefix as chosen and posts WM_SETUP_INSTALL.
  void ChooseLanguage(const std::string& prefix);
  InstallOptions MainPackageOptions() const;

  // Reports the exception being handled at the end of a stage. The
  // language stage may end quietly (the engine update ran); in the install
  // step a failure of the automation client is message 3.
  enum class Stage { Language, Install };
  void ReportCaughtFailure(Stage stage);
  void ReportFailure(uint32_t messageId);
  void CloseSessionQuietly();

  SetupContext& context_;
  ControllerWindow& window_;
  FloppyViews* floppy_;
  const SetupCommandLineInfo options_;

  // The run's state.
  std::string sourceFolder;
  std::string packagePath;
  std::string packageName;
  std::string bootstrapDir;
  std::string engineDir;
  std::string walkPattern;  // scratch of the bootstrap walk
  std::string walkDir;
  LanguageDialog languageDialog;
  // The floppy route: the start-up code's handle on the copy engine (the
  // worker has its own), the folder the free-space check accepted, and the
  // run's own folder inside it.
  DiskSetCopier copier;
  std::string acceptedFolder;
  std::string extractionFolder;
  bool tempFolderCreated = false;
  ExtractThread worker;
  std::optional<ExtractProgressDialog> progressDialog;  // with the floppy windows only
  bool workerStarted_ = false;
  // Set by a Close command: the run is ending, so no further stage starts.
  bool quitting_ = false;
};

// The default language code: the primary language of langId in decimal,
// zero-filled to four digits (7 -> "0007").
std::string DefaultLanguageCode(uint16_t langId);

}  // namespace setup
