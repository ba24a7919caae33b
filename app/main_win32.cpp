// The entry point: builds the Win32 services and hands the run to SetupApp.
#include <windows.h>
// (needs <windows.h> first)
#include <commctrl.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/controller_window_win32.h"
#include "app/language_dialog_win32.h"
#include "app/setup_app.h"
#include "floppy/progress_dialog_win32.h"
#include "floppy/temp_space_dialog_win32.h"
#include "floppy/worker_threads_win32.h"
#include "installer/dispatch_win32.h"
#include "installer/installer_mutex_win32.h"
#include "support/file_system_win32.h"
#include "support/handles_win32.h"
#include "support/manifest_codec_win32.h"
#include "support/message_boxes_win32.h"
#include "support/process_runner_win32.h"
#include "support/system_info_win32.h"
#include "support/text_win32.h"

// The default handler demangles the type of an uncaught exception, which
// pulls about 75 KB of demangler into the program. Nothing should escape
// WinMain, and if it does, the run is over either way.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

// Takes the program's folder and the current folder out of the DLL search
// for every later load, so that a DLL planted beside SETUP.EXE (a download
// folder, a share) is never loaded in place of the system's own. Both calls
// are looked up, not imported: Windows 9x and NT 4.0 have neither, and an
// import of either would keep the program from loading there.
void RestrictDllSearch() {
  const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  const auto setDefault = SETUP_LOOK_UP(kernel, SetDefaultDllDirectories);
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  const auto setDirectory = SETUP_LOOK_UP(kernel, SetDllDirectoryA);
  if (setDirectory) setDirectory("");
}

// comctl32 is loaded here rather than imported: Wine's comctl32 loads
// uxtheme.dll while it attaches, which for an import happens before
// RestrictDllSearch. Windows XP and later honour the manifest, so a load by
// name is redirected to the common controls 6 assembly and, once the search
// is restricted, comes from nowhere but the system. Older systems have no
// such redirection and would search the program's folder first: there the
// system folder's copy is loaded by its full path.
setup::win32::ModuleHandle LoadCommonControls() {
  const DWORD version = ::GetVersion();
  const DWORD major = LOBYTE(LOWORD(version));
  const DWORD minor = HIBYTE(LOWORD(version));
  const bool family9x = (version & 0x80000000) != 0;
  if (!family9x && (major > 5 || (major == 5 && minor >= 1))) {
    return setup::win32::ModuleHandle(::LoadLibraryA("comctl32.dll"));
  }
  return setup::win32::LoadSystemLibrary("comctl32.dll");
}

// comctl32 4.00 (Windows 95 as shipped) has only InitCommonControls, which
// registers the progress bar as well.
void InitControls(HMODULE comctl) {
  const auto initEx = SETUP_LOOK_UP(comctl, InitCommonControlsEx);
  const INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                         ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  if (initEx && initEx(&controls)) return;
  const auto init = SETUP_LOOK_UP(comctl, InitCommonControls);
  if (init) init();
}

// An argument of the command line with no form in the program's strings
// (an unpaired surrogate): the run cannot know what was asked.
struct UnreadableArgument {};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  setup::win32::ChooseTextMode();
  const setup::win32::ModuleHandle commonControls = LoadCommonControls();
  InitControls(commonControls.get());

  setup::win32::Win32FileSystem files;
  setup::win32::Win32ProcessRunner processes;
  setup::win32::Win32SystemInfo system;
  setup::win32::Win32MessageBoxes boxes;
  setup::win32::ResourceStringCatalogue catalogue;
  setup::win32::ComAutomation automation;
  setup::win32::Win32TextCodec text;
  setup::win32::Win32Clock clock;
  setup::win32::Win32InstallerMutex installerMutex;
  setup::Services services{files,      processes, system, boxes,         catalogue,
                           automation, text,      clock,  installerMutex};
  setup::SetupContext context(services);
  try {
    setup::win32::Win32LanguageDialogView languageView;
    setup::win32::Win32ControllerWindow window(languageView);
    setup::win32::Win32ExtractProgressView progressView(window);
    setup::win32::Win32TempSpaceDialogView tempSpaceView;
    setup::win32::Win32WorkerThreads threads(window);
    setup::FloppyViews floppy{progressView, tempSpaceView, threads};
    setup::SetupApp app(context, window, languageView, &floppy);
    const std::optional<std::vector<std::string>> arguments = setup::win32::ProgramArguments();
    if (!arguments) throw UnreadableArgument{};
    return static_cast<int>(app.InitInstance(*arguments));
  } catch (...) {
    try {
      context.messages.ShowInternalError();
    } catch (...) {
      // Nothing more can be shown.
    }
    return static_cast<int>(setup::exitcode::kFailure);
  }
}
