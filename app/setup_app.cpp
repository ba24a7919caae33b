#include "app/setup_app.h"

#include "support/text.h"

namespace setup {
namespace {

// On every way out of the run, also by an exception: the worker is stopped
// before the controller it reports to and the engine state it uses go away,
// what it copied is removed once it has left the engine, and the window is
// destroyed before its controller.
class RunEnd {
 public:
  RunEnd(ControllerDialog& controller, ControllerWindow& window, FloppyViews* floppy,
         RunOutcome& outcome)
      : controller_(controller), window_(window), floppy_(floppy), outcome_(outcome) {}
  RunEnd(const RunEnd&) = delete;
  RunEnd& operator=(const RunEnd&) = delete;
  ~RunEnd() {
    try {
      Finish();
    } catch (...) {
      // Already leaving by an exception; the window still goes.
    }
    window_.Destroy();
  }

  // A worker that cannot be stopped must not outlive what it uses: the
  // process ends with it.
  void Finish() {
    if (finished_) return;
    finished_ = true;
    if (!controller_.StopWorker() && floppy_ != nullptr) {
      floppy_->threads.EndProcess(outcome_.ExitCode());
    }
    controller_.RemoveExtraction();
  }

 private:
  ControllerDialog& controller_;
  ControllerWindow& window_;
  FloppyViews* floppy_;
  RunOutcome& outcome_;
  bool finished_ = false;
};

}  // namespace

std::string SourceFolderFromModulePath(const std::string& modulePath) {
  // Whatever the program is called (vendors rename it), its folder.
  std::size_t slash = FindLastChar(modulePath, '\\');
  return slash == std::string::npos ? std::string() : modulePath.substr(0, slash + 1);
}

uint32_t SetupApp::InitInstance(const std::vector<std::string>& arguments) {
  SetupContext& c = context_;
  SetupCommandLineInfo options;
  ParseCommandLine(arguments, options);
  ControllerDialog controller(c, window_, languageView_, floppy_, options);
  if (!window_.Create(controller)) {
    c.outcome.Failed();
    c.messages.ShowInternalError();
    return c.outcome.ExitCode();
  }
  RunEnd runEnd(controller, window_, floppy_, c.outcome);

  std::string sourceFolder =
      SourceFolderFromModulePath(c.services.system.ModulePath().value_or(""));
  if (sourceFolder.empty()) c.fileUtils.GetCurrentFolder(sourceFolder);
  controller.SetSourceFolder(sourceFolder);

  const bool floppyRoute = c.fileUtils.HasFile(sourceFolder, "Files.id");
  if (floppyRoute ? controller.RunExtractionStage() : controller.RunLanguageStage()) {
    window_.RunMessageLoop();
  }

  // A Close command can end the loop while the worker still copies.
  runEnd.Finish();
  return c.outcome.ExitCode();
}

}  // namespace setup
