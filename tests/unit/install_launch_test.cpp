#include "installer/install_launch.h"

#include <gtest/gtest.h>

#include <functional>

#include "fakes/fake_machine.h"
#include "support/busy_files.h"

namespace setup {
namespace {

using namespace setup::testing;

TEST(MsiexecArguments, EveryCombinationOfSwitches) {
  const std::string pkg = "D:\\Pkg\\Product.msi";
  const std::string props = "TRANSFORMS=\"D:\\Pkg\\1031_l.mst\"";
  struct Row {
    std::string log;
    bool silent;
    std::string path, expected;
  } rows[] = {
      {"", false, "", " /I \"D:\\Pkg\\Product.msi\" TRANSFORMS=\"D:\\Pkg\\1031_l.mst\""},
      {"setup.log", false, "",
       " /lv setup.log /I \"D:\\Pkg\\Product.msi\" TRANSFORMS=\"D:\\Pkg\\1031_l.mst\""},
      {"", true, "",
       " /qr SILENT=TRUE /I \"D:\\Pkg\\Product.msi\" TRANSFORMS=\"D:\\Pkg\\1031_l.mst\""},
      {"", true, "C:\\Apps",
       " /qr SILENT=TRUE SILENT_INSTALL_PATH=\"C:\\Apps\" /I \"D:\\Pkg\\Product.msi\" "
       "TRANSFORMS=\"D:\\Pkg\\1031_l.mst\""},
      {"setup.log", true, "C:\\Apps",
       " /lv setup.log /qr SILENT=TRUE SILENT_INSTALL_PATH=\"C:\\Apps\" /I "
       "\"D:\\Pkg\\Product.msi\" TRANSFORMS=\"D:\\Pkg\\1031_l.mst\""},
      // The silent install path only counts with the silent switch.
      {"setup.log", false, "C:\\Apps",
       " /lv setup.log /I \"D:\\Pkg\\Product.msi\" TRANSFORMS=\"D:\\Pkg\\1031_l.mst\""},
      // A quote in the path cannot end the property's quotes.
      {"", true, "C:\\A\" X=\"1",
       " /qr SILENT=TRUE SILENT_INSTALL_PATH=\"C:\\A\"\" X=\"\"1\" /I \"D:\\Pkg\\Product.msi\" "
       "TRANSFORMS=\"D:\\Pkg\\1031_l.mst\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected);
    EXPECT_EQ(BuildMsiexecArguments(pkg, props, row.log, row.silent, row.path), row.expected);
  }
}

TEST(MsiexecArguments, MainPropertiesAppendAndTrimTheExtras) {
  EXPECT_EQ(BuildMainProperties("D:\\Pkg", "1031_l.mst", ""), "TRANSFORMS=\"D:\\Pkg\\1031_l.mst\"");
  EXPECT_EQ(BuildMainProperties("D:\\Pkg", "1031_l.mst", "INSTALLDIR=\"C:\\X\" "),
            "TRANSFORMS=\"D:\\Pkg\\1031_l.mst\" INSTALLDIR=\"C:\\X\"");
  EXPECT_EQ(BuildMainProperties("D:\\Pkg", "1031_l.mst", "   "),
            "TRANSFORMS=\"D:\\Pkg\\1031_l.mst\"");
}

TEST(Extensions, UpperCasedTextAfterTheLastDot) {
  struct Row {
    std::string path, extension;
  } rows[] = {{"C:\\B\\prog.exe", "EXE"}, {"C:\\B\\Prog.ExE", "EXE"}, {"C:\\B\\a.b.msi", "MSI"},
              {"C:\\B\\README", ""},      {"C:\\B\\trailing.", ""},   {"", ""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(GetUpperExtension(row.path), row.extension);
  }
  EXPECT_EQ(BootstrapArgument(false, true), "");
  EXPECT_EQ(BootstrapArgument(true, false), "/q");
  EXPECT_EQ(BootstrapArgument(true, true), "/eq");
}

class Launch : public ::testing::Test, public FakeMachine {
 protected:
  Launch() {
    fs.AddFile("D:\\Pkg\\Product.msi");
    fs.AddFile("D:\\Pkg\\1031_L.MST");
  }

  std::vector<std::string> ShownTexts() { return Shown(); }

  InstallOptions Main() {
    InstallOptions o;
    o.mainPackage = true;
    return o;
  }
};

TEST_F(Launch, MainPackageUsesTheTransformAsSpelledOnDisk) {
  session.CreateInstaller();
  session.SetLanguagePrefix("1031_");
  InstallOptions o = Main();
  o.verboseLog = true;
  o.silent = true;
  o.extraSilent = true;  // plays no part in the main package's launch
  o.silentInstallPath = "C:\\Apps";
  o.extraProperties = "INSTALLDIR=\"C:\\X\" ";
  system.systemFolder = "C:\\Windows\\System32\\\\";
  launcher.InstallPackage("D:\\Pkg\\Product.msi", o);
  ASSERT_EQ(processes.runs.size(), 1u);
  EXPECT_EQ(processes.runs[0].program, "C:\\Windows\\System32\\msiexec.exe");
  EXPECT_EQ(processes.runs[0].arguments,
            " /lv setup.log /qr SILENT=TRUE SILENT_INSTALL_PATH=\"C:\\Apps\" /I "
            "\"D:\\Pkg\\Product.msi\" TRANSFORMS=\"D:\\Pkg\\1031_L.MST\" INSTALLDIR=\"C:\\X\"");
  EXPECT_TRUE(boxes.Shown().empty());
  EXPECT_EQ(outcome.ExitCode(), 0u);
  EXPECT_TRUE(fs.setCurrentFolderCalls.empty());
  EXPECT_EQ(fs.openSearches, 0);
}

// msiexec.exe resolves a relative log name against the current folder it
// inherits, and ends with 1622 when it cannot open the log there.
TEST(LogFile, GoesWhereMsiexecCanWriteItAndLeavesNothingBehind) {
  const std::string temp = "\"C:\\Temp\\setup.log\"";
  struct Row {
    std::string what;
    std::function<void(FakeFileSystem&)> arrange;
    std::string log;
  } rows[] = {
      {"a writable current folder", [](FakeFileSystem&) {}, "setup.log"},
      {"an earlier run's setup.log",
       [](FakeFileSystem& fs) { fs.AddFile("C:\\Work\\setup.log", "earlier"); }, "setup.log"},
      {"a read-only medium",
       [](FakeFileSystem& fs) {
         fs.readOnly.insert("D:");
         fs.currentFolder = "D:\\";
       },
       temp},
      {"a setup.log that cannot be written",
       [](FakeFileSystem& fs) {
         fs.AddFile("C:\\Work\\setup.log", "earlier");
         fs.readOnly.insert("C:\\Work\\setup.log");
       },
       temp},
      {"a current folder that is gone", [](FakeFileSystem& fs) { fs.currentFolder = "C:\\Gone"; },
       temp},
      {"no current folder", [](FakeFileSystem& fs) { fs.currentFolder = std::nullopt; }, temp},
      // Nowhere better to go: the name as ever.
      {"no temporary folder either",
       [](FakeFileSystem& fs) {
         fs.currentFolder = std::nullopt;
         fs.tempFolder = std::nullopt;
       },
       "setup.log"},
      {"an empty temporary folder",
       [](FakeFileSystem& fs) {
         fs.currentFolder = std::nullopt;
         fs.tempFolder = std::string();
       },
       "setup.log"},
      {"a temporary folder without its trailing backslash",
       [](FakeFileSystem& fs) {
         fs.currentFolder = std::nullopt;
         fs.tempFolder = std::string("C:\\Temp");
       },
       temp},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeMachine m;
    m.fs.AddFile("D:\\Product.msi");
    m.fs.AddFile("D:\\1031_l.mst");
    m.session.CreateInstaller();
    m.session.SetLanguagePrefix("1031_");
    row.arrange(m.fs);
    const std::vector<std::string> before = m.fs.List("C:"), beforeD = m.fs.List("D:");
    InstallOptions o;
    o.mainPackage = true;
    o.verboseLog = true;
    m.launcher.InstallPackage("D:\\Product.msi", o);
    EXPECT_EQ(m.Installs(), std::vector<std::string>{" /lv " + row.log +
                                                     " /I \"D:\\Product.msi\" "
                                                     "TRANSFORMS=\"D:\\1031_l.mst\""});
    EXPECT_EQ(m.fs.List("C:"), before);
    EXPECT_EQ(m.fs.List("D:"), beforeD);
  }
}

TEST_F(Launch, MissingTransformStartsNothing) {
  session.CreateInstaller();
  session.SetLanguagePrefix("0009_");
  try {
    launcher.InstallPackage("D:\\Pkg\\Product.msi", Main());
    FAIL() << "no stage error";
  } catch (const StageError& error) {
    EXPECT_EQ(error.id, 12);
  }
  EXPECT_TRUE(processes.runs.empty());
}

TEST_F(Launch, ExitCodesAreReportedInWordsAndKeptForTheProcess) {
  struct Row {
    uint32_t code;
    std::vector<std::string> shown;
  } rows[] = {
      {0, {}},
      {3010, {"Installation Error: A reboot is required to complete the install."}},
      {1602, {"Error: Critical unexpected error!"}},
      {1641, {"Error: Critical unexpected error!"}},
      {1603, {"Installation Error: Fatal error during installation."}},
      {2,
       {"Installation Error: Windows Installer 2.0 service not found or version wrong. "
        "Installation is impossible."}},
  };
  session.CreateInstaller();
  session.SetLanguagePrefix("1031_");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    RecordingMessageBoxes fresh;
    Messages freshMessages(catalogue, fresh);
    RunOutcome freshOutcome;
    InstallLauncher l(utils, processes, system, session, freshMessages, freshOutcome, context.queue,
                      clock);
    processes.exitCodes["C:\\Windows\\System32\\msiexec.exe"] = row.code;
    l.InstallPackage("D:\\Pkg\\Product.msi", Main());
    std::vector<std::string> shown;
    for (const auto& b : fresh.Shown()) shown.push_back(b.caption + ": " + b.text);
    EXPECT_EQ(shown, row.shown);
    EXPECT_EQ(freshOutcome.ExitCode(), row.code);
  }
}

TEST_F(Launch, MsiexecThatCannotStartShowsMessageTwoAndFails) {
  session.CreateInstaller();
  session.SetLanguagePrefix("1031_");
  processes.unstartable.insert("C:\\Windows\\System32\\msiexec.exe");
  launcher.InstallPackage("D:\\Pkg\\Product.msi", Main());
  EXPECT_EQ(ShownTexts(), (std::vector<std::string>{
                              "Installation Error: Windows Installer 2.0 service not found or "
                              "version wrong. Installation is impossible."}));
  EXPECT_EQ(outcome.ExitCode(), 1603u);
}

TEST_F(Launch, MsiexecNeedsTheInstallerObject) {
  EXPECT_THROW(launcher.LaunchMsiexec("D:\\Pkg\\Product.msi", "", false, false, ""),
               AutomationError);
  EXPECT_TRUE(processes.runs.empty());
}

TEST_F(Launch, BootstrapFilesRunByExtension) {
  session.CreateInstaller();
  processes.exitCodes["C:\\B\\fail.exe"] = 1;
  EXPECT_EQ(launcher.RunBootstrapFile("C:\\B\\tool.ExE", "/q"), 0u);
  EXPECT_EQ(launcher.RunBootstrapFile("C:\\B\\fail.exe", ""), 1u);
  EXPECT_FALSE(launcher.VisitBootstrapFile("C:\\B\\fail.exe", ""));
  EXPECT_EQ(launcher.RunBootstrapFile("C:\\B\\readme.txt", "/q"), 0u);
  EXPECT_EQ(launcher.RunBootstrapFile("C:\\B\\NOEXT", "/q"), 0u);
  ASSERT_EQ(processes.runs.size(), 3u);
  EXPECT_EQ(processes.runs[0].arguments, "/q");  // the argument alone is the command line
  processes.unstartable.insert("C:\\B\\gone.exe");
  EXPECT_THROW(launcher.RunBootstrapFile("C:\\B\\gone.exe", ""), ProcessLaunchError);
}

// A scanner holds a program for a moment: its start is tried again, with
// growing pauses, for 30 s in all; other refusals fail at once.
TEST(BootstrapStart, ARefusalForAMomentIsWaitedOut) {
  constexpr uint32_t kForEver = 0xFFFFFFFF;
  struct Row {
    std::string what;
    uint32_t error;
    uint32_t refusedFor;  // milliseconds on the clock
    bool justCopied;
    bool runs;
    uint32_t time;  // when it ran or failed
  } rows[] = {
      {"a sharing violation for 3 s", syserror::kSharingViolation, 3000, false, true, 3100},
      {"a lock violation for 0.5 s", syserror::kLockViolation, 500, false, true, 700},
      {"access denied to a program on the medium", syserror::kAccessDenied, 500, false, false, 0},
      {"access denied to a program just copied", syserror::kAccessDenied, 500, true, true, 700},
      {"a program that is not there", syserror::kFileNotFound, 500, true, false, 0},
      {"a sharing violation that never ends", syserror::kSharingViolation, kForEver, false, false,
       RetryBudget::kBudget},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeMachine m;
    if (row.justCopied) m.launcher.FilesJustCopied();
    m.processes.refuseStart = [&](const std::string&) {
      return m.clock.now < row.refusedFor ? row.error : 0;
    };
    bool ran = false;
    try {
      ran = m.launcher.RunBootstrapFile("C:\\B\\prereq.exe", "/q") == 0;
    } catch (const ProcessLaunchError& error) {
      EXPECT_EQ(error.Error(), row.error);
    }
    EXPECT_EQ(ran, row.runs);
    EXPECT_EQ(m.BootstrapRuns().size(), row.runs ? 1u : 0u);
    EXPECT_EQ(m.clock.now, row.time);
  }
}

TEST_F(Launch, ABootstrapPackageHeldForAMomentIsInstalledAfterwards) {
  session.CreateInstaller();
  fs.AddFile("D:\\Pkg\\Bootstrap\\prereq.msi");
  fs.refuse = [this](const std::string& operation, const std::string&) {
    return operation == "open" && clock.now < 1000 ? syserror::kSharingViolation : 0;
  };
  uint32_t installedAt = 0;
  automation.state.onInstallProduct = [this, &installedAt](const std::string&) {
    installedAt = clock.now;
  };
  EXPECT_EQ(launcher.RunBootstrapFile("D:\\Pkg\\Bootstrap\\prereq.msi", ""), 0u);
  EXPECT_EQ(installedAt, 1500u);
}

TEST_F(Launch, BootstrapPackagesInstallInProcessAtTheirLevelFromTheTempFolder) {
  session.CreateInstaller();
  automation.state.uiLevel = 5;
  fs.currentFolder = "D:\\Pkg";
  struct Row {
    std::string argument;
    int32_t level;
  } rows[] = {{"/eq", 34}, {"/q", 35}, {"", 35}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.argument);
    automation.state.calls.clear();
    fs.setCurrentFolderCalls.clear();
    EXPECT_EQ(launcher.RunBootstrapFile("D:\\Pkg\\Bootstrap\\prereq.msi", row.argument), 0u);
    EXPECT_EQ(
        automation.state.calls,
        (std::vector<std::string>{
            "PutUILevel(" + std::to_string(row.level) + ")",
            "InstallProduct(D:\\Pkg\\Bootstrap\\prereq.msi,) at level " + std::to_string(row.level),
            "PutUILevel(5)"}));
    EXPECT_EQ(fs.setCurrentFolderCalls, (std::vector<std::string>{"C:\\Temp\\", "D:\\Pkg\\"}));
  }
  // A failing in-process install is passed over.
  automation.state.failing.insert("InstallProduct");
  EXPECT_EQ(launcher.RunBootstrapFile("D:\\Pkg\\Bootstrap\\prereq.msi", ""), 0u);
  EXPECT_TRUE(boxes.Shown().empty());
  EXPECT_EQ(automation.state.uiLevel, 5);
}

TEST_F(Launch, FindPackageTakesTheFirstListedOrEmpties) {
  fs.AddFile("D:\\Pkg\\Second.msi");
  std::string folder = "D:\\Pkg\\";
  launcher.FindPackage(folder, "");
  EXPECT_EQ(folder, "D:\\Pkg\\Product.msi");
  folder = "D:\\Pkg\\";
  launcher.FindPackage(folder, "Setup.msi");
  EXPECT_EQ(folder, "");
  fs.AddFolder("D:\\Empty");
  folder = "D:\\Empty\\";
  launcher.FindPackage(folder, "");
  EXPECT_EQ(folder, "");
  EXPECT_EQ(fs.openSearches, 0);
}

}  // namespace
}  // namespace setup
