#include "app/controller.h"

#include "app/controller_messages.h"
#include "support/text.h"

namespace setup {
namespace {

const char kLanguageQuery[] = "SELECT * FROM UIText";
const char kEnglish[] = "English";

// The language dialog's window could not be made.
struct DialogCreationError {};

}  // namespace

std::string DefaultLanguageCode(uint16_t langId) {
  std::string code = IntToText(langId & 0x3FF);
  while (code.size() < 4) code.insert(0, "0");
  return code;
}

ControllerDialog::ControllerDialog(SetupContext& context, ControllerWindow& window,
                                   LanguageDialogView& languageView, FloppyViews* floppy)
    : languageDialog(languageView),
      worker(context.engine, context.cancelRequested),
      context_(context),
      window_(window),
      floppy_(floppy) {
  languageDialog.SetOwner(&window_);
  if (floppy_ != nullptr) progressDialog.emplace(floppy_->progress);
}

void ControllerDialog::CopyOptions(const SetupCommandLineInfo& info) {
  verboseLog = info.verboseLog;
  silentInstallPath = info.silentInstallPath;
  silent = info.silent;
  extraSilent = info.extraSilent;
  wiProperties = info.wiProperties;
}

bool ControllerDialog::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_SETUP_INSTALL:
      OnSetupInstall();
      return true;
    case WM_EXTRACT_BEGIN:
      OnExtractBegin();
      return true;
    case WM_EXTRACT_END:
      OnExtractEnd();
      return true;
    case WM_EXTRACT_TOTAL_PROGRESS:
      OnTotalProgress(wParam, lParam);
      return true;
    case WM_EXTRACT_DISK_PROGRESS:
      OnDiskProgress(wParam, lParam);
      return true;
    case WM_EXTRACT_DISK_NUMBER:
      OnDiskNumber(wParam);
      return true;
    default:
      return false;
  }
}

void ControllerDialog::OnSysCommand(uint32_t commandId) {
  if (commandId == kSysCommandClose) {
    quitting_ = true;
    context_.outcome.UserLeft();
    window_.PostQuitToWindow();
  }
}

bool ControllerDialog::CheckTempSpace(std::string& folder, int64_t required) {
  if (floppy_ == nullptr) return false;
  // A folder whose free space cannot be read is reported (message 10); any
  // other false means the user chose Exit.
  const bool readable = context_.services.files.FreeSpace(folder).has_value();
  if (setup::CheckTempSpace(context_.fileUtils, context_.messages, floppy_->tempSpace, folder,
                            required, tempFolderCreated)) {
    return true;
  }
  if (readable) {
    context_.outcome.UserLeft();
  } else {
    context_.outcome.Failed();
  }
  return false;
}

bool ControllerDialog::StartDiskExtraction(const std::string& targetFolder,
                                           const std::string& sourceFolder) {
  worker.targetFolder = targetFolder;
  worker.sourceFolder = sourceFolder;
  if (progressDialog) progressDialog->exitPressed = false;
  if (floppy_ == nullptr || !floppy_->threads.Start(worker)) {
    context_.outcome.Failed();
    context_.messages.ShowMessageById(9);
    return false;
  }
  workerStarted_ = true;
  return true;
}

bool ControllerDialog::StopWorker() {
  if (!workerStarted_) return true;
  quitting_ = true;
  worker.copier.RequestStop();
  // The worker stops after the chunk it is writing, or at once when it
  // shows a disk prompt, which is answered Cancel. A prompt may appear
  // between two tries, so it is answered again while waiting.
  constexpr uint32_t kStep = 100;
  constexpr uint32_t kLimit = 10000;
  for (uint32_t waited = 0; waited < kLimit; waited += kStep) {
    floppy_->threads.CancelPrompt();
    if (floppy_->threads.WaitForEnd(kStep)) return true;
  }
  return false;
}

void ControllerDialog::OnExtractBegin() {
  if (!progressDialog || quitting_) return;
  // Without its dialog the user could not leave the copy: it is stopped and
  // reported as a failed copy.
  if (!progressDialog->View().Create(*progressDialog)) worker.copier.RequestStop();
}

void ControllerDialog::OnExtractEnd() {
  if (progressDialog && progressDialog->View().Exists()) progressDialog->View().Destroy();
  if (quitting_) return;  // the run is ending; the cleanup follows the loop
  if (!worker.copyResult) {
    context_.outcome.Failed();
    context_.messages.ShowMessageById(9);
    window_.PostQuit();
    return;
  }
  if (progressDialog && progressDialog->exitPressed) {
    context_.outcome.UserLeft();
    window_.PostQuit();
    return;
  }
  if (!RunLanguageStage()) window_.PostQuit();
}

void ControllerDialog::OnTotalProgress(uintptr_t range, intptr_t position) {
  if (!progressDialog) return;
  if (progressDialog->View().Exists()) {
    progressDialog->View().SetTotalProgress(static_cast<int>(range), static_cast<int>(position));
  }
  context_.cancelRequested = progressDialog->exitPressed;
}

void ControllerDialog::OnDiskProgress(uintptr_t range, intptr_t position) {
  if (!progressDialog) return;
  if (progressDialog->View().Exists()) {
    progressDialog->View().SetDiskProgress(static_cast<int>(range), static_cast<int>(position));
  }
  context_.cancelRequested = progressDialog->exitPressed;
}

void ControllerDialog::OnDiskNumber(uintptr_t diskNumber) {
  if (progressDialog && progressDialog->View().Exists()) {
    progressDialog->SetDiskNumber(static_cast<int>(diskNumber));
  }
}

bool ControllerDialog::ReportStageFailure(const StageError& error, bool quietAllowed) {
  if (quietAllowed && error.id == kQuietStageEnd) {
    context_.outcome.EngineUpdated();
    return false;
  }
  context_.outcome.Failed();
  context_.messages.ShowMessageById(static_cast<uint32_t>(error.id));
  return false;
}

bool ControllerDialog::RunLanguageStage() {
  SetupContext& c = context_;
  LanguageDialogView& view = languageDialog.View();
  try {
    const std::string searchFolder = packagePath;
    bootstrapDir = packagePath + "Bootstrap\\";
    engineDir = bootstrapDir + "Msi\\";

    c.prerequisites.CheckPrerequisites(engineDir);

    c.launcher.FindPackage(packagePath, packageName);
    if (packagePath.empty()) throw StageError{4};

    try {
      c.session.CreateInstaller();
    } catch (const AutomationError&) {
      throw StageError{3};
    } catch (const FrameworkException&) {
      throw StageError{3};
    }

    // A transform for the user's own language is taken without asking.
    const std::string code = DefaultLanguageCode(c.services.system.UserDefaultLangId());
    std::string folder = searchFolder;
    std::string transform = code + "_l.mst";
    bool isFolder = false;
    bool haveDefault = c.fileUtils.FindFile(folder, transform, isFolder);
    std::string none;
    c.fileUtils.FindFile(none, none, isFolder);  // closes the search
    if (haveDefault) {
      languageDialog.languagePrefix = code + "_";
      languageDialog.selectedIndex = 0;
      window_.PostSetupInstall();
      return true;
    }

    try {
      c.session.OpenDatabase(packagePath, 0);
      c.session.OpenView(kLanguageQuery);
    } catch (const AutomationError&) {
      throw StageError{5};
    } catch (const FrameworkException&) {
      throw StageError{5};
    }

    auto closeQuery = [&c] {
      try {
        c.session.CloseView();
        c.session.CloseDatabase();
      } catch (const AutomationError&) {
        throw StageError{6};
      } catch (const FrameworkException&) {
        throw StageError{6};
      }
    };

    std::string name;
    std::string languageCode;
    if (silent) {
      while (c.session.FetchLanguage(name, languageCode)) {
        if (name == kEnglish) {
          languageDialog.languagePrefix = languageCode + "_";
          languageDialog.selectedIndex = 0;
          break;
        }
      }
      closeQuery();
      window_.PostSetupInstall();
      return true;
    }

    if (!view.Create()) throw DialogCreationError{};
    while (c.session.FetchLanguage(name, languageCode)) {
      if (!name.empty()) view.AddLanguage(name, languageCode);
    }
    closeQuery();
    if (view.Count() <= 0) throw StageError{7};
    view.Select(0);
    if (view.Count() == 1) {
      std::optional<std::string> only = view.CodeAt(0);
      languageDialog.languagePrefix = only ? *only + "_" : std::string();
      languageDialog.selectedIndex = 0;
      view.Destroy();
      window_.PostSetupInstall();
      return true;
    }
    if (!c.messages.Attended()) {
      window_.PostSetupInstall();  // no choice: the install step ends with message 8
      return true;
    }
    view.Show();
    return true;
  } catch (const StageError& error) {
    ReportStageFailure(error, true);
  } catch (const FrameworkException& error) {
    c.outcome.Failed();
    c.messages.ShowException(error);
  } catch (...) {
    c.outcome.Failed();
    c.messages.ShowInternalError();
  }

  if (view.Exists()) view.Destroy();
  try {
    c.session.CloseSession();
  } catch (...) {
    // The run ends anyway; the session releases the rest when destroyed.
  }
  return false;
}

bool ControllerDialog::RunInstallStep() {
  SetupContext& c = context_;
  try {
    if (languageDialog.View().Exists()) languageDialog.View().Destroy();
    walkPattern = "*.*";
    walkDir = bootstrapDir;
    const std::string skipName = ToUpper("Msi\\");
    const std::string argument = BootstrapArgument(silent, extraSilent);

    c.fileUtils.WalkFolder(walkDir, skipName, walkPattern, argument,
                           [&c](std::string& path, std::string& context) {
                             try {
                               return c.launcher.VisitBootstrapFile(path, context);
                             } catch (const ProcessLaunchError&) {
                               // Stops the walk like a failing program; the
                               // main package is still installed.
                               return false;
                             }
                           });

    if (languageDialog.selectedIndex == -1 || languageDialog.languagePrefix.empty()) {
      throw StageError{8};
    }
    c.session.SetLanguagePrefix(languageDialog.languagePrefix);
    c.session.SetUILevel(kUILevelFull);

    InstallOptions options;
    options.silentInstallPath = silentInstallPath;
    options.mainPackage = true;
    options.verboseLog = verboseLog;
    options.silent = silent;
    options.useTempDirectory = false;
    options.extraSilent = extraSilent;
    options.extraProperties = wiProperties;
    c.launcher.InstallPackage(packagePath, options);
  } catch (const StageError& error) {
    ReportStageFailure(error, false);
  } catch (const FrameworkException& error) {
    c.outcome.Failed();
    c.messages.ShowException(error);
  } catch (const AutomationError&) {
    c.outcome.Failed();
    c.messages.ShowMessageById(3);
  } catch (...) {
    c.outcome.Failed();
    c.messages.ShowInternalError();
  }

  try {
    c.session.CloseSession();
  } catch (...) {
    // Ignored: the run ends here in any case.
  }
  window_.PostQuit();
  return true;
}

}  // namespace setup
