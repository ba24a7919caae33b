// The run from start to end against fakes: which stage follows which, what
// the user sees, what is started, and the exit code.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>

#include "fakes/fake_machine.h"

namespace setup {
namespace {

using namespace setup::testing;

// One machine with a medium in D:\ and everything a run talks to.
struct World : FakeRun {
  World() : FakeRun(false) {
    fs.AddFile("D:\\Product.msi");
    automation.state.packages["D:\\Product.msi"] = {{"ErrorDialog", "x"},
                                                    {"Lang0007", "Deutsch"},
                                                    {"Lang0012", "Francais"},
                                                    {"Lang0010", "espanol"}};
  }

  // Everything a run opens is closed again, whichever way it ended.
  void ExpectNothingLeftOpen() {
    EXPECT_EQ(automation.state.liveObjects, 0);
    EXPECT_EQ(automation.state.comDepth, 0);
    EXPECT_FALSE(view.exists);
    EXPECT_FALSE(window.exists);
    EXPECT_EQ(fs.openSearches, 0);
    EXPECT_FALSE(window.loopStalled);
  }
};

class Run : public ::testing::Test, public World {};

TEST_F(Run, DefaultLanguageTransformIsTakenWithoutOpeningThePackage) {
  fs.AddFile("D:\\0007_l.mst");
  fs.AddFile("D:\\0009_l.mst");
  for (bool unattended : {false, true}) {
    SCOPED_TRACE(unattended);
    processes.runs.clear();
    system.langId = 0x0407;  // German (Germany)
    EXPECT_EQ(Start(unattended ? std::vector<std::string>{"/s"} : std::vector<std::string>{}), 0u);
    EXPECT_EQ(view.created, 0);
    EXPECT_FALSE(DatabaseOpened());
    EXPECT_EQ(Installs(),
              (std::vector<std::string>{std::string(unattended ? " /qr SILENT=TRUE" : "") +
                                        " /I \"D:\\Product.msi\" TRANSFORMS=\"D:\\0007_l.mst\""}));
    EXPECT_TRUE(Shown().empty());
    ExpectNothingLeftOpen();
  }
}

TEST_F(Run, TheUserChoosesFromASortedListWithTheFirstPreselected) {
  for (const char* t : {"D:\\0007_l.mst", "D:\\0012_l.mst", "D:\\0010_l.mst"}) fs.AddFile(t);
  std::vector<std::string> listed;
  int preselected = -2;
  window.user = [&] {
    if (!view.shown) return false;
    for (const auto& e : view.entries) listed.push_back(e.name);
    preselected = view.selection;
    view.Select(2);  // "Francais"
    window.Controller().Languages().OnOK();
    return true;
  };
  EXPECT_EQ(Start(), 0u);
  EXPECT_EQ(listed, (std::vector<std::string>{"Deutsch", "espanol", "Francais"}));
  // The package is only read.
  EXPECT_EQ(std::count(automation.state.calls.begin(), automation.state.calls.end(),
                       "OpenDatabase(D:\\Product.msi,0)"),
            1);
  EXPECT_EQ(preselected, 0);
  EXPECT_EQ(window.setupInstallSends, 1);
  EXPECT_EQ(Installs(),
            (std::vector<std::string>{" /I \"D:\\Product.msi\" TRANSFORMS=\"D:\\0012_l.mst\""}));
  ExpectNothingLeftOpen();
}

TEST_F(Run, UnattendedRunsTakeEnglishOrEndWithMessageEight) {
  fs.AddFile("D:\\Bootstrap\\prereq.exe");
  fs.AddFile("D:\\0009_l.mst");
  system.langId = 0x040C;  // French: no transform of its own
  // Only the row named exactly "English" counts.
  automation.state.packages["D:\\Product.msi"].push_back({"Lang0014", "English (UK)"});
  automation.state.packages["D:\\Product.msi"].push_back({"Lang0009", "English"});
  EXPECT_EQ(Start({"/s"}), 0u);
  EXPECT_EQ(BootstrapRuns(), (std::vector<std::string>{"D:\\Bootstrap\\prereq.exe|/q"}));
  EXPECT_EQ(Installs(),
            (std::vector<std::string>{
                " /qr SILENT=TRUE /I \"D:\\Product.msi\" TRANSFORMS=\"D:\\0009_l.mst\""}));
  EXPECT_EQ(view.created, 0);
  ExpectNothingLeftOpen();
}

TEST_F(Run, UnattendedWithoutEnglishStillRunsTheBootstrapPrograms) {
  fs.AddFile("D:\\Bootstrap\\prereq.exe");
  automation.state.packages["D:\\Product.msi"].push_back({"Lang0009", "english"});
  EXPECT_EQ(Start({"/es", "C:\\Target"}), 1603u);
  EXPECT_EQ(BootstrapRuns(), (std::vector<std::string>{"D:\\Bootstrap\\prereq.exe|/eq"}));
  EXPECT_TRUE(Installs().empty());
  EXPECT_EQ(Shown(),
            (std::vector<std::string>{"Installation Error: A wrong language was selected"}));
  EXPECT_EQ(boxes.Shown()[0].style, 0x1010u);
  ExpectNothingLeftOpen();
}

TEST_F(Run, ListsOfOneOrNoneNeedNoDialog) {
  struct Row {
    std::vector<std::pair<std::string, std::string>> rows;
    bool unattended;
    uint32_t exitCode;
    std::vector<std::string> shown;
    std::vector<std::string> installs;
  } rows[] = {
      {{{"Lang0012", "Francais"}, {"Lang0007", ""}},
       false,
       0,
       {},
       {" /I \"D:\\Product.msi\" TRANSFORMS=\"D:\\0012_l.mst\""}},
      {{{"ErrorDialog", "x"}, {"lang0012", "Francais"}},
       false,
       1603,
       {"Installation Error: No availiable language found."},
       {}},
      {{{"ErrorDialog", "x"}},
       true,
       1603,
       {"Installation Error: A wrong language was selected"},
       {}},
      // A key that is exactly "Lang" carries no code.
      {{{"Lang", "Bare"}}, false, 1603, {"Installation Error: A wrong language was selected"}, {}},
  };
  fs.AddFile("D:\\0012_l.mst");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.rows.front().first + (row.unattended ? " /s" : ""));
    World fresh;
    fresh.fs.AddFile("D:\\0012_l.mst");
    fresh.automation.state.packages["D:\\Product.msi"] = row.rows;
    EXPECT_EQ(
        fresh.Start(row.unattended ? std::vector<std::string>{"/s"} : std::vector<std::string>{}),
        row.exitCode);
    EXPECT_EQ(fresh.Shown(), row.shown);
    EXPECT_EQ(fresh.Installs(), row.installs);
    EXPECT_FALSE(fresh.view.shown);
    fresh.ExpectNothingLeftOpen();
  }
}

TEST_F(Run, EachFailureOfTheLanguageStageHasItsMessage) {
  struct Row {
    std::string what;
    std::function<void(World&)> arrange;
    std::vector<std::string> shown;
  } rows[] = {
      {"no package",
       [](World& r) { r.fs.RemoveFile("D:\\Product.msi"); },
       {"Installation Error: Installation package not found"}},
      {"no installer object",
       [](World& r) { r.automation.state.failing.insert("Create"); },
       {"Installation Error: Windows Installer initialization error"}},
      {"COM refused",
       [](World& r) { r.automation.state.coInitializeResult = -2147467259; },
       {"Installation Error: Windows Installer initialization error"}},
      {"unreadable package",
       [](World& r) { r.automation.state.failing.insert("OpenDatabase"); },
       {"Installation Error: Error opening installation package (may be corrupted)."}},
      {"query refused",
       [](World& r) { r.automation.state.failing.insert("OpenView"); },
       {"Installation Error: Error opening installation package (may be corrupted)."}},
      {"view not closed",
       [](World& r) { r.automation.state.failing.insert("ViewClose"); },
       {"Installation Error: Error working with installation package (may be corrupted)"}},
      {"commit refused",
       [](World& r) {
         r.automation.state.failing.insert("Commit");
         r.automation.state.commitResult = kDispErrorException;
       },
       {"Installation Error: Error working with installation package (may be corrupted)"}},
      {"fetch fails",
       [](World& r) { r.automation.state.failing.insert("Fetch"); },
       {"Error: Unknown error"}},
      {"dialog cannot be made",
       [](World& r) { r.view.failCreate = true; },
       {"Error: Internal error number .."}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    World r;
    row.arrange(r);
    EXPECT_EQ(r.Start(), 1603u);
    EXPECT_EQ(r.Shown(), row.shown);
    EXPECT_TRUE(r.processes.runs.empty());
    EXPECT_FALSE(r.window.loopRan);
    r.ExpectNothingLeftOpen();
  }
}

TEST_F(Run, AnOldEngineIsUpdatedAndTheRunEndsQuietly) {
  system.versions["C:\\Windows\\System32\\msi.dll"] = FileVersion{(1u << 16) | 20u, 1827u << 16};
  fs.AddFile("D:\\Bootstrap\\Msi\\WinNT\\update.exe");
  fs.AddFile("D:\\Bootstrap\\prereq.exe");
  EXPECT_EQ(Start({"/s"}), 1604u);
  EXPECT_EQ(BootstrapRuns(), (std::vector<std::string>{"D:\\Bootstrap\\Msi\\WinNT\\update.exe|"}));
  EXPECT_TRUE(Shown().empty());
  EXPECT_FALSE(window.loopRan);
  ExpectNothingLeftOpen();

  World refused;
  refused.system.versions.clear();
  refused.system.os = {2, 4, 0, 1381, "Service Pack 3"};
  EXPECT_EQ(refused.Start(), 1603u);
  EXPECT_EQ(refused.Shown(),
            (std::vector<std::string>{"Installation Error: Required NT Service Pack 6 not found ! "
                                      "Please install this before starting the installation."}));
}

TEST_F(Run, BootstrapWalkStopsAtAFailingProgramButTheProductIsInstalled) {
  fs.AddFile("D:\\0009_l.mst");
  automation.state.packages["D:\\Product.msi"] = {{"Lang0009", "English"}};
  fs.AddFile("D:\\Bootstrap\\a.exe");
  fs.AddFile("D:\\Bootstrap\\MSI\\skipped.exe");
  fs.AddFile("D:\\Bootstrap\\Tools\\msi\\skipped.exe");
  fs.AddFile("D:\\Bootstrap\\Tools\\b.exe");
  fs.AddFile("D:\\Bootstrap\\c.exe");
  fs.AddFile("D:\\Bootstrap\\d.exe");
  processes.exitCodes["D:\\Bootstrap\\c.exe"] = 1;
  EXPECT_EQ(Start(), 0u);
  EXPECT_EQ(BootstrapRuns(),
            (std::vector<std::string>{"D:\\Bootstrap\\a.exe|", "D:\\Bootstrap\\Tools\\b.exe|",
                                      "D:\\Bootstrap\\c.exe|"}));
  EXPECT_EQ(Installs().size(), 1u);
  ExpectNothingLeftOpen();

  World unstartable;
  unstartable.fs.AddFile("D:\\0009_l.mst");
  unstartable.automation.state.packages["D:\\Product.msi"] = {{"Lang0009", "English"}};
  unstartable.fs.AddFile("D:\\Bootstrap\\gone.exe");
  unstartable.fs.AddFile("D:\\Bootstrap\\later.exe");
  unstartable.processes.unstartable.insert("D:\\Bootstrap\\gone.exe");
  EXPECT_EQ(unstartable.Start(), 0u);
  EXPECT_TRUE(unstartable.BootstrapRuns().empty());
  EXPECT_EQ(unstartable.Installs().size(), 1u);
  unstartable.ExpectNothingLeftOpen();

  // A failure while a nested folder is searched closes every search.
  World throwing;
  throwing.fs.AddFile("D:\\0009_l.mst");
  throwing.automation.state.packages["D:\\Product.msi"] = {{"Lang0009", "English"}};
  throwing.fs.AddFile("D:\\Bootstrap\\Tools\\boom.exe");
  throwing.fs.AddFile("D:\\Bootstrap\\Tools\\later.exe");
  throwing.processes.onRun = [](const ProcessRun&) { throw std::bad_alloc(); };
  EXPECT_EQ(throwing.Start(), 1603u);
  EXPECT_EQ(throwing.Shown(), (std::vector<std::string>{"Error: Internal error number .."}));
  EXPECT_TRUE(throwing.Installs().empty());
  throwing.ExpectNothingLeftOpen();
}

TEST_F(Run, APrerequisiteThatAsksForARestartHasSucceeded) {
  struct Row {
    uint32_t prerequisite, msiexec, exitCode;
    std::vector<std::string> runs;
  } rows[] = {
      {3010, 0, 3010, {"D:\\Bootstrap\\a.exe|", "D:\\Bootstrap\\b.exe|"}},
      {3010, 1603, 1603, {"D:\\Bootstrap\\a.exe|", "D:\\Bootstrap\\b.exe|"}},
      {1641, 0, 0, {"D:\\Bootstrap\\a.exe|"}},
      {0, 0, 0, {"D:\\Bootstrap\\a.exe|", "D:\\Bootstrap\\b.exe|"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.prerequisite) + "/" + std::to_string(row.msiexec));
    World r;
    r.fs.AddFile("D:\\0009_l.mst");
    r.automation.state.packages["D:\\Product.msi"] = {{"Lang0009", "English"}};
    r.fs.AddFile("D:\\Bootstrap\\a.exe");
    r.fs.AddFile("D:\\Bootstrap\\b.exe");
    r.processes.exitCodes["D:\\Bootstrap\\a.exe"] = row.prerequisite;
    r.processes.exitCodes[kMsiexec] = row.msiexec;
    EXPECT_EQ(r.Start(), row.exitCode);
    EXPECT_EQ(r.BootstrapRuns(), row.runs);
    EXPECT_EQ(r.Installs().size(), 1u);
  }
  // Without the installation the run's own failure decides.
  World unchosen;
  unchosen.fs.AddFile("D:\\Bootstrap\\a.exe");
  unchosen.processes.exitCodes["D:\\Bootstrap\\a.exe"] = 3010;
  EXPECT_EQ(unchosen.Start({"/s"}), 1603u);
}

TEST_F(Run, TheInstallersOwnExitCodeIsTheRunsExitCode) {
  fs.AddFile("D:\\0009_l.mst");
  automation.state.packages["D:\\Product.msi"] = {{"Lang0009", "English"}};
  processes.exitCodes[kMsiexec] = 3010;
  EXPECT_EQ(Start({"/l", "wi:INSTALLDIR=C:\\Program Files\\X"}), 3010u);
  EXPECT_EQ(Installs(), (std::vector<std::string>{
                            " /lv setup.log /I \"D:\\Product.msi\" TRANSFORMS=\"D:\\0009_l.mst\" "
                            "INSTALLDIR=\"C:\\Program Files\\X\""}));
  EXPECT_EQ(Shown(), (std::vector<std::string>{
                         "Installation Error: A reboot is required to complete the install."}));
}

TEST_F(Run, OnAnInvisibleWindowStationNoWindowWaitsForAPerson) {
  struct Row {
    std::string what;
    std::function<void(World&)> arrange;
    std::size_t installs;
  } rows[] = {
      {"message 4", [](World& r) { r.fs.RemoveFile("D:\\Product.msi"); }, 0},
      {"the language dialog makes no choice", [](World&) {}, 0},
      {"an internal error", [](World& r) { r.view.failCreate = true; }, 0},
      {"msiexec's code in words",
       [](World& r) {
         r.fs.AddFile("D:\\0009_l.mst");
         r.processes.exitCodes[kMsiexec] = 1603;
       },
       1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    World r;
    r.system.windowStationVisible = false;
    row.arrange(r);
    EXPECT_EQ(r.Start(), 1603u);
    EXPECT_TRUE(r.Shown().empty());
    EXPECT_FALSE(r.view.shown);
    EXPECT_EQ(r.Installs().size(), row.installs);
    r.ExpectNothingLeftOpen();
  }
}

TEST_F(Run, AMissingTransformForTheChosenLanguageStartsNoInstaller) {
  automation.state.packages["D:\\Product.msi"] = {{"Lang0009", "English"}};
  EXPECT_EQ(Start(), 1603u);
  EXPECT_EQ(Shown(), (std::vector<std::string>{
                         "Installation Error: Language not found. Installation is impossible."}));
  EXPECT_TRUE(Installs().empty());
  ExpectNothingLeftOpen();
}

TEST_F(Run, CloseCommandWhileTheDialogIsUpLeavesWithoutInstalling) {
  window.user = [&] {
    if (!view.shown) return false;
    view.shown = false;
    window.Controller().OnSysCommand(0xF060);
    return true;
  };
  EXPECT_EQ(Start(), 1602u);
  EXPECT_TRUE(processes.runs.empty());
  EXPECT_TRUE(Shown().empty());
  // Other system commands only get the default processing; the whole id is
  // compared, so SC_CLOSE with low bits set is not a Close.
  for (uint32_t command : {0xF020u, 0xF061u}) {
    SCOPED_TRACE(command);
    World other;
    other.window.stallExpected = true;
    other.window.user = [&other, command] {
      if (!other.view.shown) return false;
      other.view.shown = false;
      other.window.Controller().OnSysCommand(command);
      return true;  // the loop goes on, and would take a quit posted now
    };
    other.Start();
    EXPECT_TRUE(other.window.loopStalled);
  }
}

TEST_F(Run, AManifestBesideTheProgramIsNotSupportedYet) {
  fs.AddFile("D:\\Files.id", "1,Setup.msi,10\n");
  EXPECT_EQ(Start(), 1603u);
  EXPECT_EQ(Shown(),
            (std::vector<std::string>{
                "Installation Error: Error copying files from disks. Installation failed."}));
  EXPECT_FALSE(window.loopRan);
}

// The chosen index is capped, as the dialog's data exchange does.
TEST(LanguageDialogChoice, TheIndexIsCappedAndTheCodeGivesThePrefix) {
  FakeLanguageView view;
  LanguageDialog dialog(view);
  view.Create();
  for (int selection : {0, 12000}) {
    SCOPED_TRACE(selection);
    view.AddLanguage("Deutsch", "0007");  // OK empties the list
    view.Select(selection);
    dialog.OnOK();
    EXPECT_EQ(dialog.selectedIndex, selection == 0 ? 0 : kMaxLanguageIndex);
    EXPECT_EQ(dialog.languagePrefix, "0007_");
  }
}

TEST(SourceFolder, FromTheModulePath) {
  struct Row {
    std::string module, folder;
  } rows[] = {
      {"D:\\SETUP.EXE", "D:\\"},
      {"c:\\Disk1\\setup.exe", "c:\\Disk1\\"},
      {"C:\\SETUP.EXE\\Setup.Exe", "C:\\SETUP.EXE\\"},
      {"C:\\Media\\install.exe", "C:\\Media\\"},
      {"C:\\SETUP.EXE\\other.exe", "C:\\SETUP.EXE\\"},
      // A renamed program: still its own folder, not a cut name.
      {"D:\\MySetup.exe", "D:\\"},
      {"\\\\srv\\share\\Disk1\\ProductSETUP.EXE", "\\\\srv\\share\\Disk1\\"},
      {"setup.exe", ""},
      {"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.module);
    EXPECT_EQ(SourceFolderFromModulePath(row.module), row.folder);
  }
}

TEST_F(Run, WithoutAModulePathTheCurrentFolderIsTheSource) {
  system.modulePath.reset();
  fs.currentFolder = "D:\\";
  fs.AddFile("D:\\0009_l.mst");
  automation.state.packages["D:\\Product.msi"] = {{"Lang0009", "English"}};
  EXPECT_EQ(Start(), 0u);
  EXPECT_EQ(Installs().size(), 1u);
}

}  // namespace
}  // namespace setup
