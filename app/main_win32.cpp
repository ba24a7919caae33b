// The entry point: builds the Win32 services and hands the run to SetupApp.
#include <windows.h>
// (needs <windows.h> first)
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/controller_window_win32.h"
#include "app/language_dialog_win32.h"
#include "app/setup_app.h"
#include "floppy/progress_dialog_win32.h"
#include "floppy/temp_space_dialog_win32.h"
#include "floppy/worker_threads_win32.h"
#include "installer/dispatch_win32.h"
#include "support/file_system_win32.h"
#include "support/message_boxes_win32.h"
#include "support/process_runner_win32.h"
#include "support/system_info_win32.h"
#include "support/text.h"

// The default handler demangles the type of an uncaught exception, which
// pulls about 75 KB of demangler into the program. Nothing should escape
// WinMain, and if it does, the run is over either way.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

bool IsLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  setup::SetLeadByteTest(IsLeadByte);

  setup::win32::Win32FileSystem files;
  setup::win32::Win32ProcessRunner processes;
  setup::win32::Win32SystemInfo system;
  setup::win32::Win32MessageBoxes boxes;
  setup::win32::ResourceStringCatalogue catalogue;
  setup::win32::ComAutomation automation;
  setup::Services services{files, processes, system, boxes, catalogue, automation};
  setup::SetupContext context(services);
  try {
    setup::win32::Win32LanguageDialogView languageView;
    setup::win32::Win32ControllerWindow window(languageView);
    setup::win32::Win32ExtractProgressView progressView(window);
    setup::win32::Win32TempSpaceDialogView tempSpaceView;
    setup::win32::Win32WorkerThreads threads(window);
    setup::FloppyViews floppy{progressView, tempSpaceView, threads};
    setup::SetupApp app(context, window, languageView, &floppy);
    // The C runtime's own split of the command line.
    return static_cast<int>(app.InitInstance(std::vector<std::string>(__argv, __argv + __argc)));
  } catch (...) {
    try {
      context.messages.ShowInternalError();
    } catch (...) {
      // Nothing more can be shown.
    }
    return static_cast<int>(setup::exitcode::kFailure);
  }
}
