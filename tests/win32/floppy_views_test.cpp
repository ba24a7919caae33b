// Tests of the floppy route's windows and worker thread, run under Wine (or
// Windows) with a display: floppy_views_test.exe. Exit status 0 when every
// check passed.
#include <windows.h>
// (need <windows.h> first)
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/controller_window_win32.h"
#include "app/language_dialog_win32.h"
#include "floppy/progress_dialog_win32.h"
#include "floppy/temp_space_dialog_win32.h"
#include "floppy/worker_threads_win32.h"
#include "installer/dispatch_win32.h"
#include "support/file_system_win32.h"
#include "support/message_boxes_win32.h"
#include "support/process_runner_win32.h"
#include "support/system_info_win32.h"
#include "support/text_win32.h"
#include "tests/win32/test_support.h"

namespace {

// A run with the real Win32 services and windows.
struct TestRun : Win32Machine {
  setup::win32::Win32LanguageDialogView languageView;
  setup::win32::Win32ControllerWindow window{languageView};
  setup::win32::Win32ExtractProgressView progress{window};
  setup::win32::Win32TempSpaceDialogView tempSpace;
  setup::win32::Win32WorkerThreads threads{window};
  setup::FloppyViews floppy{progress, tempSpace, threads};
  setup::ControllerDialog controller{context, window, languageView, &floppy, {}};
};

std::string ItemText(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof(text));
  return text;
}

HWND FindDialog(const char* caption) { return FindWindowA("#32770", caption); }

TEST(FloppyWindows, ProgressView) {
  TestRun run;
  EXPECT_TRUE(run.window.Create(run.controller));
  setup::ExtractProgressDialog& dialog = *run.controller.ProgressDialog();
  EXPECT_TRUE(run.progress.Create(dialog));
  HWND box = FindDialog("Extracting files ...");
  EXPECT_TRUE(box != nullptr && IsWindowVisible(box));
  EXPECT_TRUE(GetWindow(box, GW_OWNER) == run.window.Handle());

  // Every update sets the range before the position, so a later one may
  // shrink the range (the last volume is shorter).
  run.progress.SetTotalProgress(193000, 51200);
  run.progress.SetDiskProgress(100000, 51200);
  run.progress.SetDiskProgress(93000, 93000);
  EXPECT_EQ(SendDlgItemMessageA(box, 1011, PBM_GETRANGE, FALSE, 0), 193000);
  EXPECT_EQ(SendDlgItemMessageA(box, 1011, PBM_GETPOS, 0, 0), 51200);
  EXPECT_EQ(SendDlgItemMessageA(box, 1012, PBM_GETRANGE, FALSE, 0), 93000);
  EXPECT_EQ(SendDlgItemMessageA(box, 1012, PBM_GETPOS, 0, 0), 93000);
  dialog.SetDiskNumber(2);
  EXPECT_EQ(ItemText(box, 1016), std::string("Disk Number:     2"));

  // Escape and Enter through the loop's IsDialogMessage, and the commands
  // they become: the dialog stays and nothing is requested.
  for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
    MSG message = {GetFocus() ? GetFocus() : box, WM_KEYDOWN, key, 0, 0, {}};
    IsDialogMessageA(box, &message);
  }
  SendMessageA(box, WM_COMMAND, IDCANCEL, 0);
  SendMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(run.progress.Exists() && IsWindow(box));
  EXPECT_TRUE(!dialog.exitPressed);

  SendMessageA(box, WM_COMMAND, MAKEWPARAM(1013, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, 1013)));
  EXPECT_TRUE(dialog.exitPressed);
  EXPECT_TRUE(run.progress.Exists());  // Exit only asks; the worker's end closes it

  run.progress.Destroy();
  EXPECT_TRUE(!run.progress.Exists() && !IsWindow(box));

  // Going with its owner, the view notices and updates are ignored.
  EXPECT_TRUE(run.progress.Create(dialog));
  run.window.Destroy();
  EXPECT_TRUE(!run.progress.Exists());
  run.progress.SetTotalProgress(1, 1);
  run.progress.SetDiskNumberText("x");
}

HWND tempSpaceDialog = nullptr;
std::string shownPath;
std::string fieldText;
WPARAM command = IDOK;

// Plays the user inside the modal loop of the free-space dialog.
void CALLBACK AnswerTempSpace(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = FindDialog("No free disk space");
  if (!box) return;
  KillTimer(nullptr, timer);
  tempSpaceDialog = box;
  shownPath = ItemText(box, 1014);
  SetDlgItemTextA(box, 1014, fieldText.c_str());
  PostMessageA(box, WM_COMMAND, command, 0);
}

TEST(FloppyWindows, TempSpaceDialog) {
  struct Row {
    const char* field;
    WPARAM command;
    setup::TempSpaceDialogView::Result result;
    const char* chosen;
  } rows[] = {
      {"C:\\Data", IDOK, setup::TempSpaceDialogView::Result::Ok, "C:\\Data\\"},
      {"D:\\\\", IDOK, setup::TempSpaceDialogView::Result::Ok, "D:\\"},
      {"\\\\srv\\share\\tmp", IDOK, setup::TempSpaceDialogView::Result::Ok,
       "\\\\srv\\share\\tmp\\"},
      {"C:\\Data", IDCANCEL, setup::TempSpaceDialogView::Result::Exit, "untouched"},
  };
  for (const Row& row : rows) {
    setup::win32::Win32TempSpaceDialogView view;
    tempSpaceDialog = nullptr;
    fieldText = row.field;
    command = row.command;
    SetTimer(nullptr, 0, 50, AnswerTempSpace);
    std::string chosen = "untouched";
    EXPECT_TRUE(view.RunModal("C:\\users\\me\\Temp\\", chosen) == row.result);
    EXPECT_EQ(chosen, std::string(row.chosen));
    EXPECT_EQ(shownPath, std::string("C:\\users\\me\\Temp\\"));
    EXPECT_TRUE(tempSpaceDialog != nullptr && GetWindow(tempSpaceDialog, GW_OWNER) == nullptr);
    EXPECT_TRUE(!IsWindow(tempSpaceDialog));
  }
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// A two-disk set of one 120,000-byte file in root\set\, and an empty
// target root\out\.
struct DiskSet {
  explicit DiskSet(const std::string& root) : source(root + "set\\"), target(root + "out\\") {
    CreateDirectoryA(source.c_str(), nullptr);
    CreateDirectoryA(target.c_str(), nullptr);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
    WriteFile(source + "Files.id", "1,Setup.msi,120000\r\n");
    WriteFile(source + "Disk.1", content.substr(0, 70000));
    WriteFile(source + "Disk.2", content.substr(70000));
  }
  ~DiskSet() {
    DeleteFileA((source + "Files.id").c_str());
    DeleteFileA((source + "Disk.1").c_str());
    DeleteFileA((source + "Disk.2").c_str());
    DeleteFileA((source + "Disk.2.away").c_str());
    DeleteFileA((target + "Setup.msi").c_str());
    RemoveDirectoryA(source.c_str());
    RemoveDirectoryA(target.c_str());
  }
  std::string source;
  std::string target;
  std::string content = std::string(120000, ' ');
};

HWND FindPrompt() { return FindDialog("Please Insert Disk"); }

// Waits for the worker's disk prompt while handling what the worker sends.
HWND WaitForPrompt(TestRun& run) {
  for (int i = 0; i < 100; ++i) {
    if (HWND prompt = FindPrompt()) return prompt;
    run.threads.WaitForEnd(50);
  }
  return nullptr;
}

TEST(FloppyWindows, WorkerThread) {
  const std::string& root = Root();
  {
    // The whole set: the worker's messages are handled while the UI
    // thread waits, the file is assembled, the dialog comes and goes.
    DiskSet set(root);
    TestRun run;
    EXPECT_TRUE(run.window.Create(run.controller));
    run.context.engine.manifest.SetFile(set.source + "Files.id");
    EXPECT_TRUE(run.context.engine.manifest.Load(false));
    EXPECT_TRUE(run.controller.StartDiskExtraction(set.target, set.source));
    EXPECT_TRUE(run.threads.WaitForEnd(10000));
    EXPECT_TRUE(run.controller.Worker().copyResult);
    EXPECT_TRUE(ReadWholeFile(set.target + "Setup.msi") == set.content);
    EXPECT_TRUE(!run.progress.Exists());
    EXPECT_TRUE(!run.threads.Start(run.controller.Worker()));  // one worker per object
  }
  {
    // A missing disk: the prompt is the worker's own, unowned; the wait is
    // bounded while it is up; Cancel from the UI thread fails the copy.
    DiskSet set(root);
    MoveFileA((set.source + "Disk.2").c_str(), (set.source + "Disk.2.away").c_str());
    TestRun run;
    EXPECT_TRUE(run.window.Create(run.controller));
    run.context.engine.manifest.SetFile(set.source + "Files.id");
    EXPECT_TRUE(run.context.engine.manifest.Load(false));
    EXPECT_TRUE(run.controller.StartDiskExtraction(set.target, set.source));
    HWND prompt = WaitForPrompt(run);
    EXPECT_TRUE(prompt != nullptr);
    if (prompt) {
      EXPECT_EQ(ItemText(prompt, 0xFFFF), std::string("Please insert disk number 2     "));
      EXPECT_TRUE(GetWindow(prompt, GW_OWNER) == nullptr);
      EXPECT_TRUE(GetWindowThreadProcessId(prompt, nullptr) != GetCurrentThreadId());
    }
    EXPECT_TRUE(run.progress.Exists());  // the dialog stays usable meanwhile
    const DWORD start = GetTickCount();
    EXPECT_TRUE(!run.threads.WaitForEnd(200));
    EXPECT_TRUE(GetTickCount() - start < 2000);
    run.threads.CancelPrompt();
    EXPECT_TRUE(run.threads.WaitForEnd(5000));
    EXPECT_TRUE(!run.controller.Worker().copyResult);
    EXPECT_EQ(run.boxes.shown.size(), std::size_t(1));
    EXPECT_EQ(run.context.outcome.ExitCode(), setup::exitcode::kFailure);
  }
  {
    // A worker left at a prompt when its owner goes: the destructor answers
    // the prompt and waits, handling the worker's last message.
    DiskSet set(root);
    MoveFileA((set.source + "Disk.2").c_str(), (set.source + "Disk.2.away").c_str());
    TestRun run;
    EXPECT_TRUE(run.window.Create(run.controller));
    run.context.engine.manifest.SetFile(set.source + "Files.id");
    EXPECT_TRUE(run.context.engine.manifest.Load(false));
    run.controller.Worker().targetFolder = set.target;
    run.controller.Worker().sourceFolder = set.source;
    DWORD start = 0;
    {
      setup::win32::Win32WorkerThreads threads(run.window);
      EXPECT_TRUE(threads.Start(run.controller.Worker()));
      for (int i = 0; i < 100 && !FindPrompt(); ++i) threads.WaitForEnd(50);
      EXPECT_TRUE(FindPrompt() != nullptr);
      start = GetTickCount();
    }
    EXPECT_TRUE(GetTickCount() - start < 6000);
    EXPECT_TRUE(FindPrompt() == nullptr);
    EXPECT_EQ(run.boxes.shown.size(), std::size_t(1));  // the end was handled: message 9
  }
}

}  // namespace

int main(int argc, char** argv) {
  setup::win32::ChooseTextMode();
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  RemoveDirectoryA(Root().c_str());
  return status;
}
