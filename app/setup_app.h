// SetupApp: the run from start to end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/controller.h"

namespace setup {

// The source folder from the module path: the path up to and including its
// last '\', whatever the program is called. Empty when there is none.
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
