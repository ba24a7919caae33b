// SetupApp: the run from start to end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/controller.h"

namespace setup {

// The source folder from the module path: the path with its last
// "SETUP.EXE" (any case) removed; for a program of another name, the path up
// to its last '\'. Empty when modulePath is empty.
std::string SourceFolderFromModulePath(const std::string& modulePath);

class SetupApp {
 public:
  SetupApp(SetupContext& context, ControllerWindow& window, LanguageDialogView& languageView,
           FloppyViews* floppy = nullptr)
      : context_(context), window_(window), languageView_(languageView), floppy_(floppy) {}

  // Performs the whole run and returns the process exit code. arguments[0]
  // is the program name.
  uint32_t InitInstance(const std::vector<std::string>& arguments);

 private:
  SetupContext& context_;
  ControllerWindow& window_;
  LanguageDialogView& languageView_;
  FloppyViews* floppy_;
};

}  // namespace setup
