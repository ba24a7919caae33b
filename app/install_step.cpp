// The install step: the bootstrap programs and packages, then the main
// package through msiexec.exe.
#include "app/controller.h"
#include "support/text.h"

namespace setup {

bool ControllerDialog::RunInstallStep() {
  SetupContext& c = context_;
  try {
    if (languageDialog.View().Exists()) languageDialog.View().Destroy();
    walkPattern = "*.*";
    walkDir = bootstrapDir;
    const std::string skipName = ToUpper("Msi\\");
    const std::string argument = BootstrapArgument(options_.silent, options_.extraSilent);

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
    c.launcher.InstallPackage(packagePath, MainPackageOptions());
  } catch (...) {
    ReportCaughtFailure(Stage::Install);
  }
  CloseSessionQuietly();
  window_.PostQuit();
  return true;
}

InstallOptions ControllerDialog::MainPackageOptions() const {
  InstallOptions options;
  options.silentInstallPath = options_.silentInstallPath;
  options.mainPackage = true;
  options.verboseLog = options_.verboseLog;
  options.silent = options_.silent;
  options.useTempDirectory = false;
  options.extraSilent = options_.extraSilent;
  options.extraProperties = options_.wiProperties;
  return options;
}

}  // namespace setup
