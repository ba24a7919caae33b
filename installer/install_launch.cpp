#include "installer/install_launch.h"

#include "support/busy_files.h"
#include "support/text.h"

namespace setup {

std::string GetUpperExtension(const std::string& path) {
  std::size_t dot = FindLastChar(path, '.');
  if (dot == std::string::npos) return std::string();
  return ToUpper(path.substr(dot + 1));
}

std::string QuoteArgumentValue(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '"') out += '"';
  }
  return out;
}

std::string BuildMsiexecArguments(const std::string& packagePath, const std::string& properties,
                                  const std::string& logFile, bool silent,
                                  const std::string& silentInstallPath) {
  std::string arguments;
  if (!logFile.empty()) arguments += " /lv " + logFile;
  if (silent) {
    arguments += " /qr SILENT=TRUE";
    if (!silentInstallPath.empty()) {
      arguments += " SILENT_INSTALL_PATH=\"" + QuoteArgumentValue(silentInstallPath) + "\"";
    }
  }
  arguments += " /I \"" + packagePath + "\" " + properties;
  return arguments;
}

namespace {

constexpr char kLogName[] = "setup.log";

// True when path can be opened for writing (created when absent); what the
// attempt created is removed again.
bool CanWriteFile(FileSystem& files, const std::string& path) {
  DirectoryEntry entry;
  const bool existed = files.FindFirst(path, entry) != nullptr;
  if (!files.OpenForAppending(path)) return false;
  if (!existed) files.RemoveFile(path);
  return true;
}

}  // namespace

std::string ChooseLogFile(FileUtilities& fileUtils) {
  FileSystem& files = fileUtils.Files();
  const std::optional<std::string> current = files.CurrentFolder();
  if (current && !current->empty() &&
      CanWriteFile(files, WithOneTrailingBackslash(*current) + kLogName)) {
    return kLogName;
  }
  // Without a temporary folder there is no better place than the old one.
  const std::optional<std::string> temp = files.TempFolder();
  if (!temp || temp->empty()) return kLogName;
  return "\"" + WithOneTrailingBackslash(*temp) + kLogName + "\"";
}

std::string BuildMainProperties(const std::string& packageFolder, const std::string& transformName,
                                const std::string& extraProperties) {
  std::string properties = "TRANSFORMS=\"" + packageFolder + "\\" + transformName + "\"";
  if (!extraProperties.empty()) {
    properties += " " + extraProperties;
    TrimTrailingSpace(properties);
  }
  return properties;
}

std::string BootstrapArgument(bool silent, bool extraSilent) {
  if (!silent) return std::string();
  return extraSilent ? "/eq" : "/q";
}

void InstallLauncher::FindPackage(std::string& folder, const std::string& name) {
  std::string pattern = folder + (name.empty() ? std::string("*.msi") : name);
  DirectoryEntry entry;
  std::unique_ptr<DirectorySearch> search = fileUtils_.Files().FindFirst(pattern, entry);
  if (!search) {
    folder.clear();
    return;
  }
  TrimTrailing(folder, '\\');
  folder += "\\" + entry.name;
}

uint32_t InstallLauncher::RunBootstrapFile(const std::string& path, const std::string& argument) {
  std::string extension = GetUpperExtension(path);
  if (extension == "MSI") {
    InstallOptions options;
    if (FindText(argument, "/q") != std::string::npos) {
      options.silent = true;
    } else if (FindText(argument, "/eq") != std::string::npos) {
      options.silent = true;
      options.extraSilent = true;
    }
    options.useTempDirectory = true;
    InstallPackage(path, options);
    return 0;
  }
  if (extension == "EXE") {
    RetryBudget budget(clock_);
    for (;;) {
      try {
        return processes_.Run(path, argument);
      } catch (const ProcessLaunchError& error) {
        if (!IsMomentaryRefusal(error.Error(), justCopied_) || !budget.PauseForRetry()) throw;
      }
    }
  }
  return 0;
}

bool InstallLauncher::VisitBootstrapFile(const std::string& path, const std::string& argument) {
  const uint32_t code = RunBootstrapFile(path, argument);
  if (code == exitcode::kRestartRequired) {
    outcome_.RestartRequired();
    return true;
  }
  return code == 0;
}

namespace {

// Switches back to the remembered current folder on every way out.
class CurrentFolderRestorer {
 public:
  explicit CurrentFolderRestorer(FileSystem& files) : files_(files) {}
  ~CurrentFolderRestorer() {
    if (!remembered_.empty()) files_.SetCurrentFolder(remembered_);
  }
  void Remember(const std::string& folder) { remembered_ = folder; }

 private:
  FileSystem& files_;
  std::string remembered_;
};

}  // namespace

void InstallLauncher::InstallPackage(const std::string& packagePath,
                                     const InstallOptions& options) {
  CurrentFolderRestorer restorer(fileUtils_.Files());
  if (options.useTempDirectory) {
    std::string current;
    std::string temp;
    fileUtils_.GetCurrentFolder(current);
    fileUtils_.GetTempFolder(temp);
    if (!current.empty() && !temp.empty() && fileUtils_.Files().SetCurrentFolder(temp)) {
      restorer.Remember(current);
    }
  }

  if (options.mainPackage) {
    std::size_t slash = FindLastChar(packagePath, '\\');
    std::string folder =
        slash == std::string::npos ? packagePath : packagePath.substr(0, slash + 1);
    std::string transform = session_.LanguagePrefix() + "l.mst";
    bool isFolder = false;
    bool found = fileUtils_.FindFile(folder, transform, isFolder);
    std::string none;
    fileUtils_.FindFile(none, none, isFolder);  // closes the search
    if (!found) throw StageError{12};

    std::string properties = BuildMainProperties(folder, transform, options.extraProperties);
    try {
      const Turn turn = queue_.Run([&] {
        return LaunchMsiexec(packagePath, properties, options.verboseLog, options.silent,
                             options.silentInstallPath);
      });
      if (turn.end != Turn::End::Ran) {
        ReportTurnWithoutAnswer(turn);
      } else if (turn.code != 0) {
        messages_.ShowMessageById(turn.code);
      }
    } catch (const FrameworkException& error) {
      outcome_.Failed();
      messages_.ShowException(error);
    }
    return;
  }
  InstallBootstrapPackage(packagePath, options);
}

void InstallLauncher::InstallBootstrapPackage(const std::string& packagePath,
                                              const InstallOptions& options) {
  AwaitReadable(packagePath);
  // SetUILevel keeps the level it replaced; that is the one to restore. (The
  // value kept before this call belongs to an earlier change and would leave
  // the level of a second package behind.)
  session_.SetUILevel(options.silent && options.extraSilent ? kUILevelNoneHideCancel
                                                            : kUILevelBasicHideCancel);
  const int32_t remembered = session_.SavedUILevel();
  const Turn turn = queue_.Run([&]() -> uint32_t {
    try {
      session_.InstallProduct(packagePath, std::string());
      return 0;
    } catch (...) {
      // The automation object reports no exit code for a failed install
      // (Wine: DISP_E_EXCEPTION alone; Windows: "Msi API Error" and the
      // member's name), so a failure while another installation holds the
      // installer counts as its 1618. Any other failure, or finding no
      // Installer object during the engine update, does not stop the setup.
      return queue_.OtherInstallationRunning() ? exitcode::kInstallerBusy : exitcode::kFailure;
    }
  });
  session_.SetUILevel(remembered);
  if (turn.end != Turn::End::Ran) {
    ReportTurnWithoutAnswer(turn);
    throw RunEnds{};
  }
}

void InstallLauncher::AwaitReadable(const std::string& path) {
  RetryBudget budget(clock_);
  uint32_t error = 0;
  while (!fileUtils_.Files().OpenForReading(path, FileSharing::ShareRead, error) &&
         IsMomentaryRefusal(error, justCopied_) && budget.PauseForRetry()) {
    // A package that stays unreadable fails in the installer, as ever.
  }
}

void InstallLauncher::ReportTurnWithoutAnswer(const Turn& turn) {
  if (turn.end == Turn::End::Cancelled) {
    outcome_.WaitCancelled();
    return;
  }
  // As a 1618 of msiexec.exe is reported.
  outcome_.InstallerEnded(exitcode::kInstallerBusy);
  messages_.ShowMessageById(exitcode::kInstallerBusy);
}

uint32_t InstallLauncher::LaunchMsiexec(const std::string& packagePath,
                                        const std::string& properties, bool verboseLog, bool silent,
                                        const std::string& silentInstallPath) {
  if (!session_.HasInstaller()) throw AutomationError{};
  std::string systemFolder = system_.SystemFolder().value_or(std::string());
  TrimTrailing(systemFolder, '\\');
  // msiexec.exe is started in this process's current folder, which the
  // main package's launch never changes: that is where a relative log name
  // would be resolved.
  const std::string logFile = verboseLog ? ChooseLogFile(fileUtils_) : std::string();
  std::string arguments =
      BuildMsiexecArguments(packagePath, properties, logFile, silent, silentInstallPath);
  uint32_t code = 0;
  try {
    code = processes_.Run(systemFolder + "\\msiexec.exe", arguments);
  } catch (...) {
    outcome_.Failed();
    return kLaunchFailureCode;
  }
  outcome_.InstallerEnded(code);
  return code;
}

}  // namespace setup
