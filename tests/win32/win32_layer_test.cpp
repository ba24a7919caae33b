// Tests of the Win32 layer of SETUP.EXE, run under Wine (or Windows) with a
// display: win32_layer_test.exe. Exit status 0 when every check passed.
#include <windows.h>
// (need <windows.h> first)
#include <commctrl.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/controller_messages.h"
#include "app/controller_window_win32.h"
#include "app/language_dialog_win32.h"
#include "floppy/temp_space.h"
#include "installer/dispatch_win32.h"
#include "installer/installer_mutex_win32.h"
#include "support/file_system_win32.h"
#include "support/handles_win32.h"
#include "support/ini_storage.h"
#include "support/manifest_codec_win32.h"
#include "support/message_boxes_win32.h"
#include "support/process_runner_win32.h"
#include "support/system_info_win32.h"
#include "support/text.h"
#include "support/text_win32.h"
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

TEST(Win32Layer, StringCatalogue) {
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
  for (const Row& row : rows) EXPECT_EQ(catalogue.Load(row.id), std::string(row.text));
  // Neighbours of present ids in the same block, absent blocks, far ids.
  for (uint32_t id : {0u, 15u, 16u, 1600u, 1602u, 1604u, 3011u, 65535u, 70000u})
    EXPECT_EQ(catalogue.Load(id), std::string());
  // The test resources add a 1000-character string: no length limit.
  const std::string long_text = catalogue.Load(4000);
  EXPECT_EQ(long_text.size(), std::size_t(1000));
  EXPECT_TRUE(long_text.find_first_not_of('x') == std::string::npos);
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
  EXPECT_TRUE(dialog != nullptr);
  if (!dialog) return;
  char text[256] = {};
  GetWindowTextA(dialog, text, sizeof(text));
  EXPECT_EQ(std::string(text), std::string(caption));
  const LONG style = GetWindowLongA(dialog, GWL_STYLE);
  EXPECT_EQ(style & requiredStyle, requiredStyle);
  EXPECT_TRUE((style & WS_SYSMENU) == 0);
  EXPECT_EQ(IsWindowVisible(dialog) != FALSE, visible);
  for (const Control& control : controls) {
    HWND item = GetDlgItem(dialog, control.id);
    EXPECT_TRUE(item != nullptr);
    if (!item) continue;
    GetClassNameA(item, text, sizeof(text));
    EXPECT_EQ(lstrcmpiA(text, control.className), 0);
    if (control.text) {
      GetWindowTextA(item, text, sizeof(text));
      EXPECT_EQ(std::string(text), std::string(control.text));
    }
    const LONG itemStyle = GetWindowLongA(item, GWL_STYLE);
    EXPECT_EQ(itemStyle & control.requiredStyle, control.requiredStyle);
  }
  DestroyWindow(dialog);
}

TEST(Win32Layer, Templates) {
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
  CheckTemplate(138, "Waiting for another installation", DS_MODALFRAME | WS_POPUP | WS_CAPTION,
                true, {{IDCANCEL, "Button", "Cancel", WS_TABSTOP}});
}

// --- file system ---------------------------------------------------------

TEST(Win32Layer, Folders) {
  const std::string& root = Root();
  setup::win32::Win32FileSystem files;
  const std::string folder = root + "a";
  EXPECT_TRUE(files.CreateFolder(folder) == setup::CreateFolderResult::Created);
  EXPECT_TRUE(files.CreateFolder(folder) == setup::CreateFolderResult::AlreadyExists);
  EXPECT_TRUE(files.CreateFolder(root + "missing\\child") == setup::CreateFolderResult::Failed);
  EXPECT_TRUE(files.CreateFolder(folder + "\\sub") == setup::CreateFolderResult::Created);
  EXPECT_TRUE(!files.RemoveFolder(folder));  // not empty
  EXPECT_TRUE(files.RemoveFolder(folder + "\\sub"));
  EXPECT_TRUE(files.RemoveFolder(folder));
  EXPECT_TRUE(!files.RemoveFolder(folder));

  const auto current = files.CurrentFolder();
  EXPECT_TRUE(current.has_value());
  EXPECT_TRUE(files.SetCurrentFolder(root));
  EXPECT_EQ(files.CurrentFolder().value_or("") + "\\", root);
  EXPECT_TRUE(!files.SetCurrentFolder(root + "missing"));
  if (current) files.SetCurrentFolder(*current);

  const auto temp = files.TempFolder();
  EXPECT_TRUE(temp && !temp->empty() && temp->back() == '\\');
  EXPECT_TRUE(files.FreeSpace(root).value_or(0) > 0);
  EXPECT_TRUE(!files.FreeSpace(root + "missing\\").has_value());
}

TEST(Win32Layer, Search) {
  const std::string& root = Root();
  setup::win32::Win32FileSystem files;
  const std::string folder = root + "search\\";
  files.CreateFolder(folder);
  files.CreateFolder(folder + "Sub");
  files.OpenForAppending(folder + "One.txt")->Append("1", 1);
  files.OpenForAppending(folder + "Two.msi")->Append("2", 1);

  setup::DirectoryEntry entry;
  auto search = files.FindFirst(folder + "*.*", entry);
  EXPECT_TRUE(search != nullptr);
  std::vector<setup::DirectoryEntry> found;
  if (search) {
    do found.push_back(entry);
    while (search->Next(entry));
  }
  int files_seen = 0, folders_seen = 0;
  for (const auto& e : found) {
    if (e.name == "One.txt" || e.name == "Two.msi") {
      EXPECT_TRUE(!e.isFolder);
      ++files_seen;
    }
    if (e.name == "Sub" || e.name == "." || e.name == "..") {
      EXPECT_TRUE(e.isFolder);
      ++folders_seen;
    }
  }
  EXPECT_EQ(files_seen, 2);
  EXPECT_EQ(folders_seen, 3);
  EXPECT_EQ(found.size(), std::size_t(5));

  search = files.FindFirst(folder + "*.msi", entry);
  EXPECT_TRUE(search && entry.name == "Two.msi");
  EXPECT_TRUE(search && !search->Next(entry));
  EXPECT_TRUE(files.FindFirst(folder + "*.mst", entry) == nullptr);
  EXPECT_TRUE(files.FindFirst(root + "missing\\*.*", entry) == nullptr);
}

TEST(Win32Layer, Files) {
  const std::string& root = Root();
  setup::win32::Win32FileSystem files;
  const std::string path = root + "data.bin";
  {
    auto out = files.OpenForAppending(path);
    EXPECT_TRUE(out && out->Append("hello ", 6));
  }
  {
    // Opened again: appended, never truncated.
    auto out = files.OpenForAppending(path);
    EXPECT_TRUE(out && out->Append("world", 5));
    // No sharing: the open file cannot be opened for reading meanwhile.
    EXPECT_TRUE(files.OpenForReading(path) == nullptr);
  }
  EXPECT_EQ(ReadWholeFile(path), std::string("hello world"));

  auto in = files.OpenForReading(path);
  EXPECT_TRUE(in != nullptr);
  if (in) {
    EXPECT_EQ(in->Size(), int64_t(11));
    // No sharing for reading either.
    EXPECT_TRUE(files.OpenForAppending(path) == nullptr);
    char buffer[16] = {};
    EXPECT_TRUE(in->Seek(6));
    EXPECT_EQ(in->Read(buffer, sizeof(buffer)), int64_t(5));
    EXPECT_EQ(std::string(buffer, 5), std::string("world"));
    EXPECT_EQ(in->Read(buffer, sizeof(buffer)), int64_t(0));
    EXPECT_TRUE(in->Seek(0));
    EXPECT_EQ(in->Read(buffer, 5), int64_t(5));
    EXPECT_TRUE(!in->Seek(-1));
  }
  // What another program holding the file, or the folder's content, is
  // refused with.
  uint32_t error = 0;
  EXPECT_TRUE(!files.RemoveFile(path, error));
  EXPECT_EQ(error, uint32_t(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(files.OpenForReading(path, setup::FileSharing::ShareRead, error) == nullptr);
  EXPECT_EQ(error, uint32_t(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(!files.RemoveFolder(root, error));
  EXPECT_EQ(error, uint32_t(ERROR_DIR_NOT_EMPTY));
  in.reset();
  // Cut back to its first bytes; never lengthened, never created.
  EXPECT_TRUE(files.Truncate(path, 5));
  EXPECT_EQ(ReadWholeFile(path), std::string("hello"));
  EXPECT_TRUE(!files.Truncate(path, 6));
  EXPECT_EQ(ReadWholeFile(path), std::string("hello"));
  EXPECT_TRUE(files.Truncate(path, 0));
  EXPECT_EQ(ReadWholeFile(path), std::string());
  EXPECT_TRUE(!files.Truncate(root + "missing.bin", 0));
  EXPECT_TRUE(files.OpenForReading(root + "missing.bin", setup::FileSharing::ShareRead, error) ==
              nullptr);
  EXPECT_EQ(error, uint32_t(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(files.OpenForAppending(root + "missing\\x.bin") == nullptr);
  EXPECT_TRUE(files.RemoveFile(path, error));
  EXPECT_EQ(error, 0u);
  EXPECT_TRUE(!files.RemoveFile(path, error));
  EXPECT_EQ(error, uint32_t(ERROR_FILE_NOT_FOUND));
}

// A manifest that another program is reading still loads; a volume does
// not open while it is held.
TEST(Win32Layer, SharedManifest) {
  const std::string& root = Root();
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
    EXPECT_TRUE(manifestReader.valid() && volumeReader.valid());
    setup::IniStorage store(files);
    store.SetFile(manifest);
    EXPECT_TRUE(store.Load(false));
    std::string value;
    store.BeginEnum();
    EXPECT_TRUE(store.NextValue(value) && value == "1,a.txt,3");
    EXPECT_TRUE(files.OpenForReading(volume) == nullptr);
  }
  EXPECT_TRUE(files.OpenForReading(volume) != nullptr);
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
  // Written in UTF-8, as the program holds its strings on the NT family.
  const wchar_t* wide = GetCommandLineW();
  std::string line(static_cast<std::size_t>(
                       WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr)),
                   '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &line[0], static_cast<int>(line.size()), nullptr,
                      nullptr);
  line.resize(line.size() - 1);
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

TEST(Win32Layer, ProcessRunner) {
  const std::string& root = Root();
  setup::win32::Win32ProcessRunner runner;
  const std::string self = SelfPath();
  const std::string log = root + "child.txt";
  for (uint32_t code : {0u, 3u, 1603u, 259u, 3010u}) {
    const std::string arguments = "child " + std::to_string(code) + " " + log;
    DeleteFileA(log.c_str());
    const DWORD started = GetTickCount();
    EXPECT_EQ(runner.Run(self, arguments), code);
    // The program's path is not put in front of the arguments.
    EXPECT_EQ(ReadWholeFile(log), arguments);
    EXPECT_TRUE(GetTickCount() - started < 5000);  // 259 must not keep it waiting
  }

  bool threw = false;
  try {
    runner.Run(root + "missing.exe", "");
  } catch (const setup::ProcessLaunchError& error) {
    threw = error.Program() == root + "missing.exe";
    EXPECT_EQ(error.Error(), uint32_t(ERROR_FILE_NOT_FOUND));
  }
  EXPECT_TRUE(threw);

  // A program that another holds open with no sharing (a scanner): the
  // start is refused as a sharing violation.
  const std::string held = root + "held.exe";
  EXPECT_TRUE(CopyFileA(self.c_str(), held.c_str(), FALSE));
  {
    setup::win32::KernelHandle scanner(
        CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(scanner.valid());
    uint32_t refused = 0;
    try {
      runner.Run(held, "child 0 " + log);
    } catch (const setup::ProcessLaunchError& error) {
      refused = error.Error();
    }
    EXPECT_EQ(refused, uint32_t(ERROR_SHARING_VIOLATION));
  }
  DeleteFileA(held.c_str());

  // The shell's way, taken for a program that needs elevation: the same
  // arguments after the program's path, and the same wait.
  setup::win32::Win32ProcessStarter starter;
  DeleteFileA(log.c_str());
  setup::StartResult shell = starter.ShellStart(self, "child 3010 " + log);
  EXPECT_TRUE(shell.child != nullptr);
  if (shell.child) EXPECT_EQ(setup::WaitForChild(*shell.child, starter), 3010u);
  EXPECT_EQ(ReadWholeFile(log), "child 3010 " + log);
  EXPECT_TRUE(starter.ShellStart(root + "missing.exe", "").child == nullptr);

  threw = false;
  try {
    runner.Run(self, std::string(65000, 'a'));
  } catch (const setup::ProcessLaunchError&) {
    threw = true;
  }
  EXPECT_TRUE(threw);
}

// --- system facts --------------------------------------------------------

TEST(Win32Layer, SystemInfo) {
  const std::string& root = Root();
  setup::win32::Win32SystemInfo system;
  EXPECT_EQ(system.ModulePath().value_or(""), SelfPath());
  const std::string systemFolder = system.SystemFolder().value_or("");
  EXPECT_TRUE(!systemFolder.empty());

  const auto msi = system.GetFileVersion(systemFolder + "\\msi.dll");
  EXPECT_TRUE(msi.has_value());
  if (msi) EXPECT_TRUE(HIWORD(msi->versionMS) >= 2);
  EXPECT_TRUE(!system.GetFileVersion(root + "missing.dll").has_value());
  setup::win32::Win32FileSystem files;
  files.OpenForAppending(root + "plain.txt")->Append("text", 4);
  EXPECT_TRUE(!system.GetFileVersion(root + "plain.txt").has_value());

  const setup::OsVersion os = system.GetOsVersion();
  EXPECT_TRUE(os.platformId == VER_PLATFORM_WIN32_NT ||
              os.platformId == VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_TRUE(os.majorVersion >= 4);
  EXPECT_EQ(system.UserDefaultLangId(), GetUserDefaultLangID());

  // A window station of its own, as a service gets, is not visible.
  EXPECT_TRUE(system.WindowStationVisible());
  HWINSTA visible = GetProcessWindowStation();
  HWINSTA hidden = CreateWindowStationA("setup-test-hidden", 0, WINSTA_ALL_ACCESS, nullptr);
  EXPECT_TRUE(hidden != nullptr);
  if (hidden != nullptr && SetProcessWindowStation(hidden)) {
    EXPECT_TRUE(!system.WindowStationVisible());
    EXPECT_TRUE(SetProcessWindowStation(visible));
  }
  if (hidden != nullptr) CloseWindowStation(hidden);
  EXPECT_TRUE(system.WindowStationVisible());
}

// The numbers of the extraction folders' names: from the system's
// generator, and from the mix where a system has none; each differs from
// the last. Two runs on the same folder get two folders.
TEST(Win32Layer, RandomNumbers) {
  setup::win32::Win32SystemInfo system;
  struct Row {
    const char* what;
    std::function<uint32_t(uint32_t)> draw;
  };
  const Row rows[] = {
      {"the system's generator", [&](uint32_t) { return system.RandomNumber(); }},
      {"the mix", setup::win32::MixedNumber},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::set<uint32_t> drawn;
    for (uint32_t draw = 1; draw <= 16; ++draw) drawn.insert(row.draw(draw));
    EXPECT_EQ(drawn.size(), 16u);
  }

  setup::win32::Win32FileSystem files;
  std::string first, second;
  ASSERT_TRUE(setup::CreateExtractionFolder(files, system, Root(), first));
  ASSERT_TRUE(setup::CreateExtractionFolder(files, system, Root(), second));
  EXPECT_NE(first, second);
  EXPECT_TRUE(files.RemoveFolder(first) && files.RemoveFolder(second));
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

TEST(Win32Layer, Dispatch) {
  const std::string& root = Root();
  const std::string package = root + "UIText.msi";
  EXPECT_TRUE(CreateTestPackage(package));
  setup::win32::ComAutomation automation;
  const int32_t initialized = automation.InitializeCom();
  EXPECT_TRUE(initialized >= 0);
  {
    auto installer = automation.CreateInstallerObject();
    EXPECT_TRUE(installer != nullptr);
    if (!installer) return;

    auto database = installer->OpenDatabase(package, 0);
    EXPECT_TRUE(database != nullptr);
    auto view = database->OpenView("SELECT * FROM UIText");
    view->Execute();
    std::vector<std::string> rows;
    while (auto record = view->Fetch())
      rows.push_back(record->StringData(1) + "=" + record->StringData(2));
    EXPECT_EQ(rows.size(), std::size_t(4));
    bool german = false;
    for (const auto& row : rows) german = german || row == "Lang0007=Deutsch";
    EXPECT_TRUE(german);
    view->Close();

    // Wine's Database has no Commit; the wrapper reports exactly that.
    int32_t result = 0;
    std::string text;
    bool failed = ThrowsDispatchError([&] { database->Commit(); }, &result, &text);
    if (failed) {
      EXPECT_EQ(result, setup::kDispErrorMemberNotFound);
      EXPECT_TRUE(!text.empty());
    }

    EXPECT_TRUE(ThrowsDispatchError([&] { database->OpenView("SELECT * FROM NoSuchTable"); },
                                    &result, &text));
    EXPECT_TRUE(result < 0 && !text.empty());
    EXPECT_TRUE(ThrowsDispatchError([&] { installer->OpenDatabase(package + ".missing", 0); },
                                    &result, &text));
    EXPECT_TRUE(!text.empty() && text.find('\n') == std::string::npos);

    const int32_t level = installer->GetUILevel();
    installer->PutUILevel(35);
    EXPECT_EQ(installer->GetUILevel(), 35);
    installer->PutUILevel(level);
    EXPECT_EQ(installer->GetUILevel(), level);

    EXPECT_TRUE(ThrowsDispatchError([&] { installer->InstallProduct(package + ".missing", ""); },
                                    &result, &text));
    EXPECT_EQ(result, setup::kDispErrorException);
    EXPECT_EQ(text, std::string("InstallProduct,PackagePath,PropertyValues"));
  }
  automation.UninitializeCom();
}

// True when call throws something that a handler of Base catches.
template <typename Base>
bool CaughtAs(const std::function<void()>& call) {
  try {
    call();
  } catch (const Base&) {
    return true;
  } catch (...) {
    return false;
  }
  return false;
}

// Built without RTTI, as SETUP.EXE is: a handler of a base class still
// catches what the layer and the library's throw helpers throw, and an
// allocation failure stays a std::bad_alloc.
TEST(Win32Layer, ExceptionsCaughtByTheirBaseClasses) {
  setup::win32::ComAutomation automation;
  automation.InitializeCom();
  {
    auto installer = automation.CreateInstallerObject();
    ASSERT_TRUE(installer != nullptr);
    struct Row {
      const char* what;
      bool (*caught)(const std::function<void()>&);
      std::function<void()> call;
    };
    const Row rows[] = {
        {"a failing automation call, as FrameworkException", CaughtAs<setup::FrameworkException>,
         [&] { installer->OpenDatabase(Root() + "missing.msi", 0); }},
        {"a string index past the end, as std::exception", CaughtAs<std::exception>,
         [] { static_cast<void>(std::string("ab").at(2)); }},
        {"an array length past the limit, as std::bad_alloc", CaughtAs<std::bad_alloc>,
         [] { static_cast<void>(std::allocator<int>().allocate(SIZE_MAX)); }},
    };
    for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      EXPECT_TRUE(row.caught(row.call));
    }
  }
  automation.UninitializeCom();
}

// --- windows -------------------------------------------------------------

struct TestRun : Win32Machine {
  setup::win32::Win32LanguageDialogView view;
  setup::win32::Win32ControllerWindow window{view};
  setup::ControllerDialog controller{context, window, view, nullptr, {}};
};

bool guardFired = false;

void CALLBACK FireGuard(HWND, UINT, UINT_PTR, DWORD) {
  guardFired = true;
  PostQuitMessage(99);
}

// Runs the message loop of the window; false when a guard timer had to end
// it, so a loop that would never end fails the test instead of hanging it.
bool PumpUntilQuit(TestRun& run) {
  guardFired = false;
  const UINT_PTR guard = SetTimer(nullptr, 0, 10000, FireGuard);
  run.window.RunMessageLoop();
  KillTimer(nullptr, guard);
  return !guardFired;
}

TEST(Win32Layer, LanguageView) {
  const long before = liveAllocations;
  {
    TestRun run;
    EXPECT_TRUE(run.window.Create(run.controller));
    EXPECT_TRUE(!run.view.Exists());
    EXPECT_TRUE(run.view.Create());
    EXPECT_TRUE(run.view.Exists());
    EXPECT_TRUE(!IsWindowVisible(run.view.Handle()));
    EXPECT_TRUE(GetWindow(run.view.Handle(), GW_OWNER) != nullptr);
    const LONG style = GetWindowLongA(run.view.Handle(), GWL_STYLE);
    EXPECT_TRUE((style & WS_SYSMENU) == 0);
    EXPECT_TRUE(GetDlgItem(run.view.Handle(), IDCANCEL) == nullptr);

    EXPECT_TRUE(run.view.AddLanguage("Francais", "0012") >= 0);
    EXPECT_TRUE(run.view.AddLanguage("Deutsch", "0007") >= 0);
    EXPECT_TRUE(run.view.AddLanguage("Lang only", "") >= 0);
    EXPECT_TRUE(run.view.AddLanguage("Deutsch", "0107") >= 0);
    EXPECT_EQ(run.view.Count(), 4);
    // Sorted; the codes travel with their entries.
    char text[64] = {};
    SendDlgItemMessageA(run.view.Handle(), 1000, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::string(text), std::string("Deutsch"));
    SendDlgItemMessageA(run.view.Handle(), 1000, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::string(text), std::string("Lang only"));
    EXPECT_EQ(run.view.CodeAt(3).value_or("none"), std::string("none"));
    EXPECT_EQ(run.view.CodeAt(2).value_or("none"), std::string("0012"));
    EXPECT_TRUE(!run.view.CodeAt(4).has_value());
    EXPECT_TRUE(!run.view.CodeAt(-1).has_value());
    EXPECT_EQ(run.view.Selection(), -1);
    run.view.Select(2);
    EXPECT_EQ(run.view.Selection(), 2);

    run.view.ClearEntries();
    EXPECT_EQ(run.view.Count(), 0);
    run.view.AddLanguage("English", "0009");
    run.view.Destroy();
    EXPECT_TRUE(!run.view.Exists());
    EXPECT_EQ(run.view.Count(), 0);
    EXPECT_EQ(run.view.AddLanguage("x", "1"), CB_ERR);

    // Destroyed with its owner, without Destroy(): the codes go too.
    EXPECT_TRUE(run.view.Create());
    run.view.AddLanguage("English", "0009");
    run.window.Destroy();
    EXPECT_TRUE(!run.view.Exists());
  }
  EXPECT_EQ(liveAllocations, before);
}

// OK through the keyboard: Enter in the shown dialog reaches OnOK through
// the message loop's IsDialogMessage, and the install step that runs
// inside the send destroys the dialog and ends the loop.
TEST(Win32Layer, EnterChoosesLanguage) {
  const std::string& root = Root();
  TestRun run;
  run.controller.SetSourceFolder(root + "emptyboot\\");  // no Bootstrap folder in it
  EXPECT_TRUE(run.window.Create(run.controller));
  EXPECT_TRUE(run.view.Create());
  run.view.AddLanguage("Deutsch", "0007");
  run.view.AddLanguage("English", "0009");
  run.view.Select(1);
  run.view.Show();
  EXPECT_TRUE(IsWindowVisible(run.view.Handle()));
  HWND focus = GetFocus();
  EXPECT_TRUE(focus != nullptr);
  PostMessageA(focus ? focus : run.view.Handle(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(PumpUntilQuit(run));
  EXPECT_EQ(run.controller.Languages().selectedIndex, 1);
  EXPECT_EQ(run.controller.Languages().languagePrefix, std::string("0009_"));
  EXPECT_TRUE(!run.view.Exists());
  // No package beside it: the install step reports the missing transform.
  EXPECT_EQ(run.boxes.shown.size(), std::size_t(1));
  if (!run.boxes.shown.empty())
    EXPECT_EQ(run.boxes.shown[0],
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

TEST(Win32Layer, ControllerWindow) {
  const std::string& root = Root();
  const std::string emptyBoot = root + "emptyboot\\";
  CreateDirectoryA(emptyBoot.c_str(), nullptr);
  {
    // WM_SETUP_INSTALL posted: the install step runs inside the loop. No
    // language was chosen: message 8, and the step always quits.
    TestRun run;
    run.controller.SetSourceFolder(emptyBoot);
    EXPECT_TRUE(run.window.Create(run.controller));
    HWND window = FindControllerWindow();
    EXPECT_TRUE(window != nullptr && !IsWindowVisible(window));
    EXPECT_TRUE(window && GetWindow(window, GW_OWNER) == nullptr);
    run.window.PostSetupInstall();
    EXPECT_TRUE(PumpUntilQuit(run));
    EXPECT_EQ(run.boxes.shown.size(), std::size_t(1));
    if (!run.boxes.shown.empty())
      EXPECT_EQ(run.boxes.shown[0],
                std::string("Installation Error: A wrong language was selected"));
    EXPECT_EQ(run.context.outcome.ExitCode(), setup::exitcode::kFailure);
    run.window.Destroy();
    EXPECT_TRUE(FindControllerWindow() == nullptr);
  }
  {
    TestRun run;
    EXPECT_TRUE(run.window.Create(run.controller));
    closeTarget = FindControllerWindow();
    SetTimer(nullptr, 0, 50, SendSystemCommands);
    EXPECT_TRUE(PumpUntilQuit(run));
    EXPECT_TRUE(run.boxes.shown.empty());
    EXPECT_EQ(run.context.outcome.ExitCode(), setup::exitcode::kUserExit);
  }
  {
    // An exception inside the window procedure: the internal error is
    // shown, the run counts as failed, and the loop ends.
    TestRun run;
    run.boxes.throwOnFirst = true;
    run.controller.SetSourceFolder(emptyBoot);
    EXPECT_TRUE(run.window.Create(run.controller));
    run.window.PostSetupInstall();
    EXPECT_TRUE(PumpUntilQuit(run));
    EXPECT_EQ(run.boxes.shown.size(), std::size_t(2));
    if (run.boxes.shown.size() == 2)
      EXPECT_EQ(run.boxes.shown[1], std::string("Error: Internal error number .."));
    EXPECT_EQ(run.context.outcome.ExitCode(), setup::exitcode::kFailure);
  }
}

// --- the installer's mutex -----------------------------------------------

using WaitEnd = setup::InstallerMutex::WaitEnd;
const char kBusyCaption[] = "Waiting for another installation";

// Another installation, on a thread of its own: holds the installer's mutex
// until told to let go.
class OtherInstallation {
 public:
  OtherInstallation()
      : held_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
        end_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
        thread_(CreateThread(nullptr, 0, Hold, this, 0, nullptr)) {
    EXPECT_EQ(WaitForSingleObject(held_.get(), 5000), DWORD(WAIT_OBJECT_0));
  }
  ~OtherInstallation() {
    End();
    WaitForSingleObject(thread_.get(), 5000);
  }
  void End() { SetEvent(end_.get()); }

 private:
  static DWORD WINAPI Hold(void* parameter) {
    auto* self = static_cast<OtherInstallation*>(parameter);
    // The mutex exists already (the test keeps it): taken by a wait.
    setup::win32::KernelHandle mutex(CreateMutexA(nullptr, FALSE, "Global\\_MSIExecute"));
    if (WaitForSingleObject(mutex.get(), 5000) != WAIT_OBJECT_0) return 1;
    SetEvent(self->held_.get());
    WaitForSingleObject(self->end_.get(), 30000);
    ReleaseMutex(mutex.get());
    return 0;
  }

  setup::win32::KernelHandle held_;
  setup::win32::KernelHandle end_;
  setup::win32::KernelHandle thread_;
};

// Whether another thread can take the mutex now: this one must not keep it.
DWORD WINAPI TakeAndRelease(void*) {
  setup::win32::KernelHandle mutex(
      OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "Global\\_MSIExecute"));
  if (!mutex.valid() || WaitForSingleObject(mutex.get(), 0) != WAIT_OBJECT_0) return 1;
  ReleaseMutex(mutex.get());
  return 0;
}

bool FreeForOthers() {
  setup::win32::KernelHandle thread(CreateThread(nullptr, 0, TakeAndRelease, nullptr, 0, nullptr));
  DWORD code = 1;
  return WaitForSingleObject(thread.get(), 5000) == WAIT_OBJECT_0 &&
         GetExitCodeThread(thread.get(), &code) && code == 0;
}

OtherInstallation* endOnTimer = nullptr;
void CALLBACK EndOtherInstallation(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (endOnTimer) endOnTimer->End();
}

bool busyWindowSeen = false;
void CALLBACK PressCancel(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND window = FindWindowA(nullptr, kBusyCaption);
  busyWindowSeen = window != nullptr && IsWindowVisible(window);
  if (window) PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

TEST(Win32Layer, InstallerMutex) {
  // Kept open, unowned, so that the mutex stays while no one holds it, and
  // whether this thread gave it back can be seen.
  setup::win32::KernelHandle keep(CreateMutexA(nullptr, FALSE, "Global\\_MSIExecute"));
  setup::win32::Win32InstallerMutex mutex;
  // Nobody holds it: free at once, and no window.
  DWORD start = GetTickCount();
  EXPECT_EQ(mutex.Wait(5000, true, true), WaitEnd::Free);
  EXPECT_TRUE(GetTickCount() - start < 1000);
  EXPECT_TRUE(FreeForOthers());
  {
    OtherInstallation other;
    // Held: the wait ends at its limit.
    start = GetTickCount();
    EXPECT_EQ(mutex.Wait(200, true, false), WaitEnd::TimedOut);
    EXPECT_TRUE(GetTickCount() - start >= 150);
    // Released while waiting, with messages handled meanwhile: free, and
    // handed back at once.
    endOnTimer = &other;
    SetTimer(nullptr, 0, 300, EndOtherInstallation);
    start = GetTickCount();
    EXPECT_EQ(mutex.Wait(10000, true, false), WaitEnd::Free);
    EXPECT_TRUE(GetTickCount() - start < 5000);
    endOnTimer = nullptr;
  }
  EXPECT_TRUE(FreeForOthers());
  {
    // The window is on screen while the wait lasts, and its Cancel ends it.
    OtherInstallation other;
    busyWindowSeen = false;
    SetTimer(nullptr, 0, 300, PressCancel);
    EXPECT_EQ(mutex.Wait(10000, true, true), WaitEnd::Cancelled);
    EXPECT_TRUE(busyWindowSeen);
    EXPECT_TRUE(FindWindowA(nullptr, kBusyCaption) == nullptr);
  }
  // A pause ends at its time; a quit message ends any wait, and stays for
  // the run's loop.
  start = GetTickCount();
  EXPECT_EQ(mutex.Wait(150, false, false), WaitEnd::TimedOut);
  EXPECT_TRUE(GetTickCount() - start >= 100);
  PostQuitMessage(7);
  EXPECT_EQ(mutex.Wait(10000, false, true), WaitEnd::Cancelled);
  MSG message;
  EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && message.wParam == 7);
}

}  // namespace

// --- names in every script ---------------------------------------------

// UTF-16 of a UTF-8 literal, for the checks that go around the layer.
std::wstring W(const std::string& text) {
  std::wstring result(text.size() + 1, L'\0');
  result.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0],
                          static_cast<int>(result.size()))));
  return result;
}

// The NT family's mode: names outside the ANSI code page reach the file
// system, child processes, the automation object and the list intact; a
// name that has no form on the other side is missing, never another name.
TEST(Win32Layer, NamesInEveryScript) {
  ASSERT_TRUE(setup::win32::UnicodeNames());
  // UTF-8 never hides a '\\' in a trail byte: no lead-byte test.
  EXPECT_EQ(setup::FindLastChar("\x81\\", '\\'), 1u);
  setup::win32::Win32FileSystem files;
  const std::string folder =
      Root() + "\xD0\x9F\xD1\x80\xD0\xBE \xE8\xA1\xA8\xE3\x82\xBD";     // Про 表ソ
  const std::string name = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";  // 日本語.txt
  // (Left by an earlier run whose process had the same id: Wine reuses them.)
  EXPECT_TRUE(files.CreateFolder(folder) != setup::CreateFolderResult::Failed);
  EXPECT_TRUE(files.OpenForAppending(folder + "\\" + name)->Append("x", 1));
  // A name with an unpaired surrogate, made around the layer, and the
  // Latin-1 name that a byte-for-byte reading of "\xFF" would give.
  const std::wstring lone = W(folder) + L"\\a\xD800.txt";
  CloseHandle(CreateFileW(lone.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  CloseHandle(CreateFileW((W(folder) + L"\\\xFF.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_NEW, 0, nullptr));
  EXPECT_TRUE(files.OpenForReading(folder + "\\\xFF.txt") == nullptr);
  EXPECT_TRUE(files.OpenForReading(folder + "\\\xC3\xBF.txt") != nullptr);

  setup::DirectoryEntry entry;
  std::vector<std::string> found;
  for (auto search = files.FindFirst(folder + "\\*.txt", entry); search && found.size() < 9;) {
    found.push_back(entry.name);
    if (!search->Next(entry)) break;
  }
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"\xC3\xBF.txt", name}));
  DeleteFileW(lone.c_str());

  const auto current = files.CurrentFolder();
  EXPECT_TRUE(files.SetCurrentFolder(folder));
  EXPECT_EQ(files.CurrentFolder().value_or(""), folder);
  EXPECT_TRUE(files.FreeSpace(folder + "\\").value_or(0) > 0);
  if (current) files.SetCurrentFolder(*current);

  // A child in that folder, with those names in its arguments.
  const std::string child = folder + "\\child.exe";
  EXPECT_TRUE(CopyFileW(W(SelfPath()).c_str(), W(child).c_str(), FALSE));
  const std::string arguments = "child 7 " + Root() + "named.txt " + folder + "\\" + name;
  setup::win32::Win32ProcessRunner runner;
  EXPECT_EQ(runner.Run(child, arguments), 7u);
  EXPECT_EQ(ReadWholeFile(Root() + "named.txt"), arguments);
  setup::win32::Win32ProcessStarter starter;
  setup::StartResult shell = starter.ShellStart(child, "child 8 " + Root() + "shell.txt " + name);
  if (shell.child) EXPECT_EQ(setup::WaitForChild(*shell.child, starter), 8u);
  EXPECT_EQ(ReadWholeFile(Root() + "shell.txt"), "child 8 " + Root() + "shell.txt " + name);

  // The list keeps the name as given; text that is not UTF-8 adds nothing.
  {
    TestRun run;
    EXPECT_TRUE(run.window.Create(run.controller) && run.view.Create());
    EXPECT_TRUE(run.view.AddLanguage("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "0011") >= 0);
    EXPECT_EQ(run.view.AddLanguage("\xFF", "0012"), CB_ERR);
    wchar_t text[16] = {};
    SendDlgItemMessageW(run.view.Handle(), 1000, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_TRUE(std::wstring(text) == L"\x65E5\x672C\x8A9E");
    EXPECT_EQ(run.view.Count(), 1);
  }

  // The automation object opens a package in that folder.
  const std::string package = folder + "\\UIText.msi";
  EXPECT_TRUE(CreateTestPackage(Root() + "plain.msi"));
  EXPECT_TRUE(CopyFileW(W(Root() + "plain.msi").c_str(), W(package).c_str(), FALSE));
  setup::win32::ComAutomation automation;
  automation.InitializeCom();
  {
    auto installer = automation.CreateInstallerObject();
    EXPECT_TRUE(installer && installer->OpenDatabase(package, 0) != nullptr);
  }
  automation.UninitializeCom();

  // The 9x family's mode: the ANSI code page, where those characters have
  // no form (1252 here: Wine's default).
  if (GetACP() == 1252) {
    EXPECT_FALSE(setup::win32::ChooseTextMode(false));
    EXPECT_EQ(setup::win32::Narrow(L"\x00E9\x0416").value_or(""), "\xE9?");
    EXPECT_TRUE(files.OpenForReading(folder + "\\" + name) == nullptr);
    EXPECT_TRUE(files.FindFirst(Root() + "*.msi", entry) != nullptr);
    EXPECT_TRUE(setup::win32::ChooseTextMode());
  }
}

int main(int argc, char** argv) {
  if (RunAsChild()) return 0;
  setup::win32::ChooseTextMode();
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// The manifest's names into the program's form, on a 1252 system: exact
// characters or nothing, never a best fit.
TEST(Win32Layer, ManifestCodec) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, the system has " << GetACP();
  struct Row {
    const char* what;
    bool unicode, fromUtf8;
    std::string in;
    std::optional<std::string> out;
  };
  const Row rows[] = {
      {"NT: 1252 to UTF-8", true, false, "Caf\xE9 \x80", std::string("Caf\xC3\xA9 \xE2\x82\xAC")},
      {"NT: UTF-8 kept", true, true, "\xD0\x9F\xE8\xA1\xA8", std::string("\xD0\x9F\xE8\xA1\xA8")},
      {"NT: an overlong form", true, true, "\xC0\xAF", std::nullopt},
      {"9x: UTF-8 to 1252", false, true, "Caf\xC3\xA9", std::string("Caf\xE9")},
      {"9x: Cyrillic has no 1252 form", false, true, "\xD0\x9F", std::nullopt},
      {"9x: no best fit of c with caron to c", false, true, "\xC4\x8D", std::nullopt},
      {"9x: a surrogate", false, true, "\xED\xA0\x80", std::nullopt},
      {"9x: ANSI kept", false, false, "Caf\xE9", std::string("Caf\xE9")},
  };
  setup::win32::Win32TextCodec codec;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    // The codec converts into the form of the layer's mode.
    ASSERT_EQ(setup::win32::ChooseTextMode(row.unicode), row.unicode);
    EXPECT_EQ(row.fromUtf8 ? codec.FromUtf8(row.in) : codec.FromAnsi(row.in), row.out);
  }
  setup::win32::ChooseTextMode();
}

// The one ANSI conversion pair, on a 1252 system: the strict form (the
// manifest's names) refuses what the lossy one (the A functions' way, for
// Widen and Narrow in the ANSI mode) substitutes.
TEST(Win32Layer, AnsiConversions) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, the system has " << GetACP();
  using setup::win32::Conversion;
  struct Row {
    const char* what;
    Conversion conversion;
    std::wstring units;
    std::optional<std::string> ansi;
  };
  const Row rows[] = {
      {"strict: in the code page", Conversion::Strict, L"Caf\x00E9 \x20AC", "Caf\xE9 \x80"},
      {"lossy: in the code page", Conversion::Lossy, L"Caf\x00E9 \x20AC", "Caf\xE9 \x80"},
      {"strict: empty", Conversion::Strict, L"", ""},
      {"strict: no default character", Conversion::Strict, L"\x0416", std::nullopt},
      {"lossy: the default character", Conversion::Lossy, L"\x0416", "?"},
      {"strict: no best fit", Conversion::Strict, L"\x010D", std::nullopt},
      {"lossy: the best fit", Conversion::Lossy, L"\x010D", "c"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(setup::win32::Utf16ToAnsi(row.units.data(), row.units.size(), row.conversion),
              row.ansi);
    // What the strict form gives names the same characters on the way back.
    if (row.conversion == Conversion::Strict && row.ansi) {
      EXPECT_TRUE(setup::win32::AnsiToUtf16(*row.ansi, Conversion::Strict) == row.units);
    }
  }
}
