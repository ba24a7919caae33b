#include "app/setup_app.h"

#include "support/text.h"

namespace setup {

std::string SourceFolderFromModulePath(const std::string& modulePath) {
  const std::string name = "SETUP.EXE";
  std::size_t at = FindLastText(ToUpper(modulePath), name);
  if (at != std::string::npos && at + name.size() == modulePath.size()) {
    return modulePath.substr(0, at);
  }
  // A program of another name (or "SETUP.EXE" only inside a folder name):
  // its own folder.
  std::size_t slash = FindLastChar(modulePath, '\\');
  return slash == std::string::npos ? std::string() : modulePath.substr(0, slash + 1);
}

uint32_t SetupApp::InitInstance(const std::vector<std::string>& arguments) {
  SetupContext& c = context_;
  ControllerDialog controller(c, window_, languageView_);
  SetupCommandLineInfo info;
  ParseCommandLine(arguments, info);

  if (!window_.Create(controller)) {
    c.outcome.Failed();
    c.messages.ShowInternalError();
    return c.outcome.ExitCode();
  }
  controller.CopyOptions(info);

  std::string sourceFolder = SourceFolderFromModulePath(c.services.system.ModulePath().value_or(""));
  if (sourceFolder.empty()) c.fileUtils.GetCurrentFolder(sourceFolder);
  controller.packagePath = sourceFolder;

  std::string folder = sourceFolder;
  std::string manifest = "Files.id";
  bool isFolder = false;
  const bool floppyRoute = c.fileUtils.FindFile(folder, manifest, isFolder);
  std::string none;
  c.fileUtils.FindFile(none, none, isFolder);  // closes the search

  bool proceed = false;
  if (floppyRoute) {
    // Sets of floppy disks are not supported by this build.
    c.outcome.Failed();
    c.messages.ShowMessageById(9);
  } else {
    proceed = controller.RunLanguageStage();
  }

  if (proceed) window_.RunMessageLoop();
  window_.Destroy();
  return c.outcome.ExitCode();
}

}  // namespace setup
