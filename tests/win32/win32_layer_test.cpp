// Tests of the Win32 layer of SETUP.EXE, run under Wine (or Windows) with a
// display: win32_layer_test.exe. Exit status 0 when every check passed.
#include <windows.h>
// (need <windows.h> first)
#include <commctrl.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/controller_messages.h"
#include "app/controller_window_win32.h"
#include "app/language_dialog_win32.h"
#include "installer/dispatch_win32.h"
#include "support/file_system_win32.h"
#include "support/handles_win32.h"
#include "support/ini_storage.h"
#include "support/message_boxes_win32.h"
#include "support/process_runner_win32.h"
#include "support/system_info_win32.h"
#include "tests/win32/test_support.h"

// Live allocations of operator new, to find codes that were never freed.
static long liveAllocations = 0;
void* operator new(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  ++liveAllocations;
  return p;
}
void operator delete(void* p) noexcept {
  if (p) --liveAllocations;
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

// --- string table --------------------------------------------------------

void TestStringCatalogue() {
  currentGroup = "StringCatalogue";
  setup::win32::ResourceStringCatalogue catalogue;
  struct Row {
    uint32_t id;
    const char* text;
  };
  const Row rows[] = {
#define CATALOGUE_ENTRY(id, text) {id, text},
#include "support/catalogue_texts.inc"
#undef CATALOGUE_ENTRY
  };
  for (const Row& row : rows) CHECK_EQ(catalogue.Load(row.id), std::string(row.text));
  // Neighbours of present ids in the same block, absent blocks, far ids.
  for (uint32_t id : {0u, 15u, 16u, 1600u, 1602u, 1604u, 3011u, 65535u, 70000u})
    CHECK_EQ(catalogue.Load(id), std::string());
  // The test resources add a 1000-character string: no length limit.
  const std::string long_text = catalogue.Load(4000);
  CHECK_EQ(long_text.size(), std::size_t(1000));
  CHECK(long_text.find_first_not_of('x') == std::string::npos);
}

// --- dialog templates ----------------------------------------------------

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

struct Control {
  int id;
  const char* className;  // compared case-insensitively
  const char* text;       // null: not compared
  LONG requiredStyle;
};

void CheckTemplate(int id, const char* caption, LONG requiredStyle, bool visible,
                   const std::vector<Control>& controls) {
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr,
                                   PlainDialogProc, 0);
  CHECK(dialog != nullptr);
  if (!dialog) return;
  char text[256] = {};
  GetWindowTextA(dialog, text, sizeof(text));
  CHECK_EQ(std::string(text), std::string(caption));
  const LONG style = GetWindowLongA(dialog, GWL_STYLE);
  CHECK_EQ(style & requiredStyle, requiredStyle);
  CHECK((style & WS_SYSMENU) == 0);
  CHECK_EQ(IsWindowVisible(dialog) != FALSE, visible);
  for (const Control& control : controls) {
    HWND item = GetDlgItem(dialog, control.id);
    CHECK(item != nullptr);
    if (!item) continue;
    GetClassNameA(item, text, sizeof(text));
    CHECK_EQ(lstrcmpiA(text, control.className), 0);
    if (control.text) {
      GetWindowTextA(item, text, sizeof(text));
      CHECK_EQ(std::string(text), std::string(control.text));
    }
    const LONG itemStyle = GetWindowLongA(item, GWL_STYLE);
    CHECK_EQ(itemStyle & control.requiredStyle, control.requiredStyle);
  }
  DestroyWindow(dialog);
}

void TestTemplates() {
  currentGroup = "Dialog templates";
  CheckTemplate(102, "", WS_POPUP | WS_BORDER, false, {});
  CheckTemplate(129, "Language selection", DS_MODALFRAME | DS_SYSMODAL | WS_POPUP | WS_CAPTION,
                false,
                {{1000, "ComboBox", nullptr, CBS_DROPDOWNLIST | CBS_SORT | WS_TABSTOP},
                 {IDOK, "Button", "OK", BS_DEFPUSHBUTTON}});
  CheckTemplate(136, "Extracting files ...", DS_MODALFRAME | WS_POPUP | WS_CAPTION, true,
                {{1011, "msctls_progress32", nullptr, PBS_VERTICAL | PBS_SMOOTH},
                 {1012, "msctls_progress32", nullptr, PBS_SMOOTH},
                 {1013, "Button", "Exit", WS_TABSTOP},
                 {1016, "Static", "Disk Number:     1", 0}});
  CheckTemplate(137, "No free disk space", DS_MODALFRAME | DS_SYSMODAL | WS_POPUP | WS_CAPTION,
                true,
                {{IDOK, "Button", "OK", BS_DEFPUSHBUTTON},
                 {IDCANCEL, "Button", "Exit", 0},
                 {1014, "Edit", "", ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP},
                 {1015, "Button", "Change", 0}});
}

// --- file system ---------------------------------------------------------

void TestFolders(const std::string& root) {
  currentGroup = "FileSystem folders";
  setup::win32::Win32FileSystem files;
  const std::string folder = root + "a";
  CHECK(files.CreateFolder(folder) == setup::CreateFolderResult::Created);
  CHECK(files.CreateFolder(folder) == setup::CreateFolderResult::AlreadyExists);
  CHECK(files.CreateFolder(root + "missing\\child") == setup::CreateFolderResult::Failed);
  CHECK(files.CreateFolder(folder + "\\sub") == setup::CreateFolderResult::Created);
  CHECK(!files.RemoveFolder(folder));  // not empty
  CHECK(files.RemoveFolder(folder + "\\sub"));
  CHECK(files.RemoveFolder(folder));
  CHECK(!files.RemoveFolder(folder));

  const auto current = files.CurrentFolder();
  CHECK(current.has_value());
  CHECK(files.SetCurrentFolder(root));
  CHECK_EQ(files.CurrentFolder().value_or("") + "\\", root);
  CHECK(!files.SetCurrentFolder(root + "missing"));
  if (current) files.SetCurrentFolder(*current);

  const auto temp = files.TempFolder();
  CHECK(temp && !temp->empty() && temp->back() == '\\');
  CHECK(files.FreeSpace(root).value_or(0) > 0);
  CHECK(!files.FreeSpace(root + "missing\\").has_value());
}

void TestSearch(const std::string& root) {
  currentGroup = "FileSystem search";
  setup::win32::Win32FileSystem files;
  const std::string folder = root + "search\\";
  files.CreateFolder(folder);
  files.CreateFolder(folder + "Sub");
  files.OpenForAppending(folder + "One.txt")->Append("1", 1);
  files.OpenForAppending(folder + "Two.msi")->Append("2", 1);

  setup::DirectoryEntry entry;
  auto search = files.FindFirst(folder + "*.*", entry);
  CHECK(search != nullptr);
  std::vector<setup::DirectoryEntry> found;
  if (search) {
    do found.push_back(entry);
    while (search->Next(entry));
  }
  int files_seen = 0, folders_seen = 0;
  for (const auto& e : found) {
    if (e.name == "One.txt" || e.name == "Two.msi") {
      CHECK(!e.isFolder);
      ++files_seen;
    }
    if (e.name == "Sub" || e.name == "." || e.name == "..") {
      CHECK(e.isFolder);
      ++folders_seen;
    }
  }
  CHECK_EQ(files_seen, 2);
  CHECK_EQ(folders_seen, 3);
  CHECK_EQ(found.size(), std::size_t(5));

  search = files.FindFirst(folder + "*.msi", entry);
  CHECK(search && entry.name == "Two.msi");
  CHECK(search && !search->Next(entry));
  CHECK(files.FindFirst(folder + "*.mst", entry) == nullptr);
  CHECK(files.FindFirst(root + "missing\\*.*", entry) == nullptr);
}

void TestFiles(const std::string& root) {
  currentGroup = "FileSystem files";
  setup::win32::Win32FileSystem files;
  const std::string path = root + "data.bin";
  {
    auto out = files.OpenForAppending(path);
    CHECK(out && out->Append("hello ", 6));
  }
  {
    // Opened again: appended, never truncated.
    auto out = files.OpenForAppending(path);
    CHECK(out && out->Append("world", 5));
    // No sharing: the open file cannot be opened for reading meanwhile.
    CHECK(files.OpenForReading(path) == nullptr);
  }
  CHECK_EQ(ReadWholeFile(path), std::string("hello world"));

  auto in = files.OpenForReading(path);
  CHECK(in != nullptr);
  if (in) {
    CHECK_EQ(in->Size(), int64_t(11));
    // No sharing for reading either.
    CHECK(files.OpenForAppending(path) == nullptr);
    char buffer[16] = {};
    CHECK(in->Seek(6));
    CHECK_EQ(in->Read(buffer, sizeof(buffer)), int64_t(5));
    CHECK_EQ(std::string(buffer, 5), std::string("world"));
    CHECK_EQ(in->Read(buffer, sizeof(buffer)), int64_t(0));
    CHECK(in->Seek(0));
    CHECK_EQ(in->Read(buffer, 5), int64_t(5));
    CHECK(!in->Seek(-1));
  }
  in.reset();
  CHECK(files.OpenForReading(root + "missing.bin") == nullptr);
  CHECK(files.OpenForAppending(root + "missing\\x.bin") == nullptr);
  CHECK(files.RemoveFile(path));
  CHECK(!files.RemoveFile(path));
}

// A manifest that another program is reading still loads; a volume does
// not open while it is held.
void TestSharedManifest(const std::string& root) {
  currentGroup = "FileSystem sharing";
  setup::win32::Win32FileSystem files;
  const std::string manifest = root + "Files.id";
  const std::string volume = root + "Disk.1";
  std::ofstream(manifest, std::ios::binary) << "1,a.txt,3\r\n";
  std::ofstream(volume, std::ios::binary) << "abc";
  auto holdForReading = [](const std::string& path) {
    return setup::win32::KernelHandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
  };
  {
    setup::win32::KernelHandle manifestReader = holdForReading(manifest);
    setup::win32::KernelHandle volumeReader = holdForReading(volume);
    CHECK(manifestReader.valid() && volumeReader.valid());
    setup::IniStorage store(files);
    store.SetFile(manifest);
    CHECK(store.Load(false));
    std::string value;
    store.BeginEnum();
    CHECK(store.NextValue(value) && value == "1,a.txt,3");
    CHECK(files.OpenForReading(volume) == nullptr);
  }
  CHECK(files.OpenForReading(volume) != nullptr);
}

// --- child processes -----------------------------------------------------

std::string SelfPath() {
  char buffer[MAX_PATH];
  GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return buffer;
}

// Child mode: the command line is "child CODE FILE"; writes the whole
// command line to FILE and exits with CODE.
bool RunAsChild() {
  std::string line = GetCommandLineA();
  // Started through the shell, the program's own quoted path comes first.
  if (line.rfind("\"", 0) == 0 && line.find("\" child ") != std::string::npos) {
    line.erase(0, line.find("\" child ") + 2);
  }
  if (line.rfind("child ", 0) != 0) return false;
  std::istringstream in(line.substr(6));
  unsigned long code = 0;
  std::string file;
  in >> code >> file;
  std::ofstream(file, std::ios::binary) << line;
  ExitProcess(static_cast<UINT>(code));
}

void TestProcessRunner(const std::string& root) {
  currentGroup = "ProcessRunner";
  setup::win32::Win32ProcessRunner runner;
  const std::string self = SelfPath();
  const std::string log = root + "child.txt";
  for (uint32_t code : {0u, 3u, 1603u, 259u, 3010u}) {
    const std::string arguments = "child " + std::to_string(code) + " " + log;
    DeleteFileA(log.c_str());
    const DWORD started = GetTickCount();
    CHECK_EQ(runner.Run(self, arguments), code);
    // The program's path is not put in front of the arguments.
    CHECK_EQ(ReadWholeFile(log), arguments);
    CHECK(GetTickCount() - started < 5000);  // 259 must not keep it waiting
  }

  bool threw = false;
  try {
    runner.Run(root + "missing.exe", "");
  } catch (const setup::ProcessLaunchError& error) {
    threw = error.Program() == root + "missing.exe";
  }
  CHECK(threw);

  // The shell's way, taken for a program that needs elevation: the same
  // arguments after the program's path, and the same wait.
  setup::win32::Win32ProcessStarter starter;
  DeleteFileA(log.c_str());
  setup::StartResult shell = starter.ShellStart(self, "child 3010 " + log);
  CHECK(shell.child != nullptr);
  if (shell.child) CHECK_EQ(setup::WaitForChild(*shell.child, starter), 3010u);
  CHECK_EQ(ReadWholeFile(log), "child 3010 " + log);
  CHECK(starter.ShellStart(root + "missing.exe", "").child == nullptr);

  threw = false;
  try {
    runner.Run(self, std::string(65000, 'a'));
  } catch (const setup::ProcessLaunchError&) {
    threw = true;
  }
  CHECK(threw);
}

// --- system facts --------------------------------------------------------

void TestSystemInfo(const std::string& root) {
  currentGroup = "SystemInfo";
  setup::win32::Win32SystemInfo system;
  CHECK_EQ(system.ModulePath().value_or(""), SelfPath());
  const std::string systemFolder = system.SystemFolder().value_or("");
  CHECK(!systemFolder.empty());

  const auto msi = system.GetFileVersion(systemFolder + "\\msi.dll");
  CHECK(msi.has_value());
  if (msi) CHECK(HIWORD(msi->versionMS) >= 2);
  CHECK(!system.GetFileVersion(root + "missing.dll").has_value());
  setup::win32::Win32FileSystem files;
  files.OpenForAppending(root + "plain.txt")->Append("text", 4);
  CHECK(!system.GetFileVersion(root + "plain.txt").has_value());

  const setup::OsVersion os = system.GetOsVersion();
  CHECK(os.platformId == VER_PLATFORM_WIN32_NT || os.platformId == VER_PLATFORM_WIN32_WINDOWS);
  CHECK(os.majorVersion >= 4);
  CHECK_EQ(system.UserDefaultLangId(), GetUserDefaultLangID());

  // A window station of its own, as a service gets, is not visible.
  CHECK(system.WindowStationVisible());
  HWINSTA visible = GetProcessWindowStation();
  HWINSTA hidden = CreateWindowStationA("setup-test-hidden", 0, WINSTA_ALL_ACCESS, nullptr);
  CHECK(hidden != nullptr);
  if (hidden != nullptr && SetProcessWindowStation(hidden)) {
    CHECK(!system.WindowStationVisible());
    CHECK(SetProcessWindowStation(visible));
  }
  if (hidden != nullptr) CloseWindowStation(hidden);
  CHECK(system.WindowStationVisible());
}

// --- automation ----------------------------------------------------------

// A package with nothing but a UIText table, made through msi.dll (the
// automation object of Wine cannot commit).
bool CreateTestPackage(const std::string& path) {
  DeleteFileA(path.c_str());
  MSIHANDLE database = 0;
  if (MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_CREATE, &database) != ERROR_SUCCESS) return false;
  const char* statements[] = {
      "CREATE TABLE `UIText` (`Key` CHAR(72) NOT NULL, `Text` CHAR(255) LOCALIZABLE "
      "PRIMARY KEY `Key`)",
      "INSERT INTO `UIText` (`Key`, `Text`) VALUES ('Lang0012', 'Francais')",
      "INSERT INTO `UIText` (`Key`, `Text`) VALUES ('Lang0007', 'Deutsch')",
      "INSERT INTO `UIText` (`Key`, `Text`) VALUES ('Lang0009', 'English')",
      "INSERT INTO `UIText` (`Key`, `Text`) VALUES ('bytes', 'bytes')",
  };
  bool ok = true;
  for (const char* statement : statements) {
    MSIHANDLE view = 0;
    ok = ok && MsiDatabaseOpenViewA(database, statement, &view) == ERROR_SUCCESS &&
         MsiViewExecute(view, 0) == ERROR_SUCCESS;
    if (view) MsiCloseHandle(view);
  }
  ok = ok && MsiDatabaseCommit(database) == ERROR_SUCCESS;
  MsiCloseHandle(database);
  return ok;
}

template <typename Call>
bool ThrowsDispatchError(Call call, int32_t* result = nullptr, std::string* text = nullptr) {
  try {
    call();
  } catch (const setup::DispatchError& error) {
    if (result) *result = error.Result();
    if (text) *text = error.Text();
    return true;
  }
  return false;
}

void TestDispatch(const std::string& root) {
  currentGroup = "Dispatch";
  const std::string package = root + "UIText.msi";
  CHECK(CreateTestPackage(package));
  setup::win32::ComAutomation automation;
  const int32_t initialized = automation.InitializeCom();
  CHECK(initialized >= 0);
  {
    auto installer = automation.CreateInstallerObject();
    CHECK(installer != nullptr);
    if (!installer) return;

    auto database = installer->OpenDatabase(package, 0);
    CHECK(database != nullptr);
    auto view = database->OpenView("SELECT * FROM UIText");
    view->Execute();
    std::vector<std::string> rows;
    while (auto record = view->Fetch())
      rows.push_back(record->StringData(1) + "=" + record->StringData(2));
    CHECK_EQ(rows.size(), std::size_t(4));
    bool german = false;
    for (const auto& row : rows) german = german || row == "Lang0007=Deutsch";
    CHECK(german);
    view->Close();

    // Wine's Database has no Commit; the wrapper reports exactly that.
    int32_t result = 0;
    std::string text;
    bool failed = ThrowsDispatchError([&] { database->Commit(); }, &result, &text);
    if (failed) {
      CHECK_EQ(result, setup::kDispErrorMemberNotFound);
      CHECK(!text.empty());
    }

    CHECK(ThrowsDispatchError([&] { database->OpenView("SELECT * FROM NoSuchTable"); }, &result,
                              &text));
    CHECK(result < 0 && !text.empty());
    CHECK(ThrowsDispatchError([&] { installer->OpenDatabase(package + ".missing", 0); }, &result,
                              &text));
    CHECK(!text.empty() && text.find('\n') == std::string::npos);

    const int32_t level = installer->GetUILevel();
    installer->PutUILevel(35);
    CHECK_EQ(installer->GetUILevel(), 35);
    installer->PutUILevel(level);
    CHECK_EQ(installer->GetUILevel(), level);

    CHECK(ThrowsDispatchError([&] { installer->InstallProduct(package + ".missing", ""); }, &result,
                              &text));
    CHECK_EQ(result, setup::kDispErrorException);
    CHECK_EQ(text, std::string("InstallProduct,PackagePath,PropertyValues"));
  }
  automation.UninitializeCom();
}

// --- windows -------------------------------------------------------------

class RecordingBoxes : public setup::MessageBoxes {
 public:
  int Show(const std::string& text, const std::string& caption, uint32_t) override {
    shown.push_back(caption + ": " + text);
    if (throwOnFirst && shown.size() == 1) throw std::bad_alloc();
    return setup::box::kIdOk;
  }
  std::vector<std::string> shown;
  bool throwOnFirst = false;
};

struct Run {
  setup::win32::Win32FileSystem files;
  setup::win32::Win32ProcessRunner processes;
  setup::win32::Win32SystemInfo system;
  RecordingBoxes boxes;
  setup::win32::ResourceStringCatalogue catalogue;
  setup::win32::ComAutomation automation;
  setup::Services services{files, processes, system, boxes, catalogue, automation};
  setup::SetupContext context{services};
  setup::win32::Win32LanguageDialogView view;
  setup::win32::Win32ControllerWindow window{view};
  setup::ControllerDialog controller{context, window, view};
};

bool guardFired = false;

void CALLBACK FireGuard(HWND, UINT, UINT_PTR, DWORD) {
  guardFired = true;
  PostQuitMessage(99);
}

// Runs the message loop of the window; false when a guard timer had to end
// it, so a loop that would never end fails the test instead of hanging it.
bool PumpUntilQuit(Run& run) {
  guardFired = false;
  const UINT_PTR guard = SetTimer(nullptr, 0, 10000, FireGuard);
  run.window.RunMessageLoop();
  KillTimer(nullptr, guard);
  return !guardFired;
}

void TestLanguageView() {
  currentGroup = "LanguageView";
  const long before = liveAllocations;
  {
    Run run;
    CHECK(run.window.Create(run.controller));
    CHECK(!run.view.Exists());
    CHECK(run.view.Create());
    CHECK(run.view.Exists());
    CHECK(!IsWindowVisible(run.view.Handle()));
    CHECK(GetWindow(run.view.Handle(), GW_OWNER) != nullptr);
    const LONG style = GetWindowLongA(run.view.Handle(), GWL_STYLE);
    CHECK((style & WS_SYSMENU) == 0);
    CHECK(GetDlgItem(run.view.Handle(), IDCANCEL) == nullptr);

    CHECK(run.view.AddLanguage("Francais", "0012") >= 0);
    CHECK(run.view.AddLanguage("Deutsch", "0007") >= 0);
    CHECK(run.view.AddLanguage("Lang only", "") >= 0);
    CHECK(run.view.AddLanguage("Deutsch", "0107") >= 0);
    CHECK_EQ(run.view.Count(), 4);
    // Sorted; the codes travel with their entries.
    char text[64] = {};
    SendDlgItemMessageA(run.view.Handle(), 1000, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    CHECK_EQ(std::string(text), std::string("Deutsch"));
    SendDlgItemMessageA(run.view.Handle(), 1000, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(text));
    CHECK_EQ(std::string(text), std::string("Lang only"));
    CHECK_EQ(run.view.CodeAt(3).value_or("none"), std::string("none"));
    CHECK_EQ(run.view.CodeAt(2).value_or("none"), std::string("0012"));
    CHECK(!run.view.CodeAt(4).has_value());
    CHECK(!run.view.CodeAt(-1).has_value());
    CHECK_EQ(run.view.Selection(), -1);
    run.view.Select(2);
    CHECK_EQ(run.view.Selection(), 2);

    run.view.ClearEntries();
    CHECK_EQ(run.view.Count(), 0);
    run.view.AddLanguage("English", "0009");
    run.view.Destroy();
    CHECK(!run.view.Exists());
    CHECK_EQ(run.view.Count(), 0);
    CHECK_EQ(run.view.AddLanguage("x", "1"), CB_ERR);

    // Destroyed with its owner, without Destroy(): the codes go too.
    CHECK(run.view.Create());
    run.view.AddLanguage("English", "0009");
    run.window.Destroy();
    CHECK(!run.view.Exists());
  }
  CHECK_EQ(liveAllocations, before);
}

// OK through the keyboard: Enter in the shown dialog reaches OnOK through
// the message loop's IsDialogMessage, and the install step that runs
// inside the send destroys the dialog and ends the loop.
void TestEnterChoosesLanguage(const std::string& root) {
  currentGroup = "Enter in the language dialog";
  Run run;
  run.controller.bootstrapDir = root + "emptyboot\\";
  CreateDirectoryA(run.controller.bootstrapDir.c_str(), nullptr);
  CHECK(run.window.Create(run.controller));
  CHECK(run.view.Create());
  run.view.AddLanguage("Deutsch", "0007");
  run.view.AddLanguage("English", "0009");
  run.view.Select(1);
  run.view.Show();
  CHECK(IsWindowVisible(run.view.Handle()));
  HWND focus = GetFocus();
  CHECK(focus != nullptr);
  PostMessageA(focus ? focus : run.view.Handle(), WM_KEYDOWN, VK_RETURN, 0);
  CHECK(PumpUntilQuit(run));
  CHECK_EQ(run.controller.languageDialog.selectedIndex, 1);
  CHECK_EQ(run.controller.languageDialog.languagePrefix, std::string("0009_"));
  CHECK(!run.view.Exists());
  // No package beside it: the install step reports the missing transform.
  CHECK_EQ(run.boxes.shown.size(), std::size_t(1));
  if (!run.boxes.shown.empty())
    CHECK_EQ(run.boxes.shown[0],
             std::string("Installation Error: Language not found. Installation is impossible."));
}

// The controller window of this thread: the hidden, captionless dialog.
BOOL CALLBACK KeepCaptionlessDialog(HWND window, LPARAM found) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::string(name) == "#32770" && GetWindowTextLengthA(window) == 0)
    *reinterpret_cast<HWND*>(found) = window;
  return TRUE;
}

HWND FindControllerWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), KeepCaptionlessDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND closeTarget = nullptr;

void CALLBACK SendSystemCommands(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  // Minimise gets the default processing only; Close ends the loop.
  SendMessageA(closeTarget, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  SendMessageA(closeTarget, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void TestControllerWindow(const std::string& root) {
  currentGroup = "ControllerWindow";
  const std::string emptyBoot = root + "emptyboot\\";
  CreateDirectoryA(emptyBoot.c_str(), nullptr);
  {
    // WM_SETUP_INSTALL posted: the install step runs inside the loop. No
    // language was chosen: message 8, and the step always quits.
    Run run;
    run.controller.bootstrapDir = emptyBoot;
    CHECK(run.window.Create(run.controller));
    HWND window = FindControllerWindow();
    CHECK(window != nullptr && !IsWindowVisible(window));
    CHECK(window && GetWindow(window, GW_OWNER) == nullptr);
    run.window.PostSetupInstall();
    CHECK(PumpUntilQuit(run));
    CHECK_EQ(run.boxes.shown.size(), std::size_t(1));
    if (!run.boxes.shown.empty())
      CHECK_EQ(run.boxes.shown[0],
               std::string("Installation Error: A wrong language was selected"));
    CHECK_EQ(run.context.outcome.ExitCode(), setup::exitcode::kFailure);
    run.window.Destroy();
    CHECK(FindControllerWindow() == nullptr);
  }
  {
    Run run;
    CHECK(run.window.Create(run.controller));
    closeTarget = FindControllerWindow();
    SetTimer(nullptr, 0, 50, SendSystemCommands);
    CHECK(PumpUntilQuit(run));
    CHECK(run.boxes.shown.empty());
    CHECK_EQ(run.context.outcome.ExitCode(), setup::exitcode::kUserExit);
  }
  {
    // An exception inside the window procedure: the internal error is
    // shown, the run counts as failed, and the loop ends.
    Run run;
    run.boxes.throwOnFirst = true;
    run.controller.bootstrapDir = emptyBoot;
    CHECK(run.window.Create(run.controller));
    run.window.PostSetupInstall();
    CHECK(PumpUntilQuit(run));
    CHECK_EQ(run.boxes.shown.size(), std::size_t(2));
    if (run.boxes.shown.size() == 2)
      CHECK_EQ(run.boxes.shown[1], std::string("Error: Internal error number .."));
    CHECK_EQ(run.context.outcome.ExitCode(), setup::exitcode::kFailure);
  }
}

}  // namespace

int main() {
  if (RunAsChild()) return 0;
  const std::string root = TempRoot("w32layer");
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  TestStringCatalogue();
  TestTemplates();
  TestFolders(root);
  TestSearch(root);
  TestFiles(root);
  TestSharedManifest(root);
  TestProcessRunner(root);
  TestSystemInfo(root);
  TestDispatch(root);
  TestLanguageView();
  TestEnterChoosesLanguage(root);
  TestControllerWindow(root);
  std::printf("%s: %d failure(s)\n", failures ? "FAILED" : "PASSED", failures);
  return failures ? 1 : 0;
}
