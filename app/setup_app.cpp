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
  ControllerDialog controller(c, window_, languageView_, floppy_);
  DiskSetCopier copier(c.engine);
  SetupCommandLineInfo info;
  ParseCommandLine(arguments, info);

  if (!window_.Create(controller)) {
    c.outcome.Failed();
    c.messages.ShowInternalError();
    return c.outcome.ExitCode();
  }
  // On every way out, also by an exception: the worker is stopped before
  // the controller it reports to and the engine state it uses go away, and
  // the window is destroyed before its controller.
  struct RunEnd {
    ControllerDialog& controller;
    ControllerWindow& window;
    FloppyViews* floppy;
    RunOutcome& outcome;
    bool stopped = false;
    void StopWorker() {
      if (stopped) return;
      stopped = true;
      if (!controller.StopWorker() && floppy != nullptr) {
        floppy->threads.EndProcess(outcome.ExitCode());
      }
    }
    ~RunEnd() {
      StopWorker();
      window.Destroy();
    }
  } runEnd{controller, window_, floppy_, c.outcome};
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

  // The run's own folder inside the accepted temporary folder: the files of
  // the set are copied there and removed with it at the end.
  std::string acceptedFolder;
  std::string extractionFolder;
  bool proceed = false;
  if (floppyRoute && floppy_ == nullptr) {
    c.outcome.Failed();
    c.messages.ShowMessageById(9);
  } else if (floppyRoute) {
    std::string tempFolder;
    c.fileUtils.GetTempFolder(tempFolder);
    controller.packagePath = tempFolder;
    c.engine.manifest.SetFile(sourceFolder + "Files.id");
    c.engine.manifest.Load(false);  // an unreadable manifest fails the copy later
    const int64_t required = copier.TotalSize();
    controller.packageName = "Setup.msi";
    if (controller.CheckTempSpace(tempFolder, required)) {
      acceptedFolder = tempFolder;
      if (!CreateExtractionFolder(c.services.files, acceptedFolder, extractionFolder)) {
        c.outcome.Failed();
        c.messages.ShowMessageById(9);
      } else {
        controller.packagePath = extractionFolder;
        proceed = controller.StartDiskExtraction(extractionFolder, sourceFolder);
      }
    }
  } else {
    proceed = controller.RunLanguageStage();
  }

  if (proceed) window_.RunMessageLoop();

  // A Close command can end the loop while the worker still copies: it is
  // stopped first, and the files are removed only once it has left the
  // engine.
  runEnd.StopWorker();
  if (!extractionFolder.empty()) RemoveExtractedFiles(copier, extractionFolder);
  if (controller.tempFolderCreated && !acceptedFolder.empty()) {
    c.fileUtils.RemoveFolder(acceptedFolder);
  }
  c.engine.manifest.Clear();
  return c.outcome.ExitCode();
}

}  // namespace setup
