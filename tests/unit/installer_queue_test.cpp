// Another installation in progress: whole runs that wait for the
// installer's turn, against the fake clock, mutex, installer and programs.
#include "installer/installer_queue.h"

#include <gtest/gtest.h>

#include <optional>

#include "fakes/fake_machine.h"

namespace setup {
namespace {

using namespace setup::testing;

const char kBusyText[] =
    "Installation Error: Another installation is already in progress. Complete that "
    "installation before proceeding with this install.";
constexpr uint32_t kLimit = InstallerQueue::kLimit;

TEST(InstallerMutexName, NoBackslashWhereObjectNamesHaveNoNamespaces) {
  struct Row {
    std::string what;
    uint32_t majorVersion;
    std::string name;
  } rows[] = {
      {"Windows 95, 98, Me", 4, "_MSIExecute"},
      {"Windows NT 4.0", 4, "_MSIExecute"},
      {"Windows 2000", 5, "Global\\_MSIExecute"},
      {"Windows 10", 10, "Global\\_MSIExecute"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(std::string(InstallerMutexName(row.majorVersion)), row.name);
  }
}

// A medium with one language, so that no dialog comes between the start
// and the installation; msiexec.exe answers answers in turn (the last
// repeated) and its starts are timed.
struct BusyWorld : FakeRun {
  BusyWorld() : FakeRun(false) {
    fs.AddFile("D:\\Product.msi");
    fs.AddFile("D:\\0009_l.mst");
    automation.state.packages["D:\\Product.msi"] = {{"Lang0009", "English"}};
    processes.onRun = [this](const ProcessRun& run) {
      if (run.program != kMsiexec) return;
      starts.push_back(clock.now);
      if (starts.size() == 1 && heldAfterFirstStart) {
        installerMutex.heldUntil = clock.now + heldAfterFirstStart;
      }
      const std::size_t n = std::min(starts.size(), answers.size());
      processes.exitCodes[kMsiexec] = n == 0 ? 0 : answers[n - 1];
    };
  }

  std::vector<uint32_t> answers;
  // Another installation that takes the mutex as msiexec.exe starts, for
  // this long.
  uint32_t heldAfterFirstStart = 0;
  std::vector<uint32_t> starts;
};

TEST(BusyInstaller, TheMainPackageWaitsItsTurn) {
  struct Row {
    std::string what;
    uint32_t heldUntil;
    std::optional<uint32_t> cancelAt;
    std::vector<uint32_t> answers;
    uint32_t heldAfterFirstStart;
    bool visible;
    uint32_t exitCode;
    std::vector<uint32_t> starts;
    std::vector<std::string> waits;
    std::vector<std::string> shown;
  } rows[] = {
      {"free", 0, std::nullopt, {}, 0, true, 0, {0}, {}, {}},
      {"held, then freed",
       5000,
       std::nullopt,
       {},
       0,
       true,
       0,
       {5000},
       {"wait for the mutex 600000 ms, window"},
       {}},
      {"held past the limit",
       kLimit + 1,
       std::nullopt,
       {},
       0,
       true,
       1618,
       {},
       {"wait for the mutex 600000 ms, window"},
       {kBusyText}},
      {"held, cancelled",
       kLimit + 1,
       3000,
       {},
       0,
       true,
       1602,
       {},
       {"wait for the mutex 600000 ms, window"},
       {}},
      {"held on an unseen window station: no window to cancel",
       5000,
       3000,
       {},
       0,
       false,
       0,
       {5000},
       {"wait for the mutex 600000 ms, unseen"},
       {}},
      {"1618, then 0",
       0,
       std::nullopt,
       {1618, 0},
       0,
       true,
       0,
       {0, 1000},
       {"pause 1000 ms, window"},
       {}},
      {"1618 as another installation takes the mutex",
       0,
       std::nullopt,
       {1618, 0},
       4000,
       true,
       0,
       {0, 4000},
       {"pause 1000 ms, window", "wait for the mutex 599000 ms, window"},
       {}},
      // The user leaves: not the 1618 of the try before.
      {"1618, then cancelled in the pause",
       0,
       500,
       {1618, 0},
       0,
       true,
       1602,
       {0},
       {"pause 1000 ms, window"},
       {}},
      {"an answer other than 1618 is final",
       0,
       std::nullopt,
       {1603, 0},
       0,
       true,
       1603,
       {0},
       {},
       {"Installation Error: Fatal error during installation."}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    BusyWorld w;
    w.installerMutex.heldUntil = row.heldUntil;
    w.installerMutex.cancelAt = row.cancelAt;
    w.answers = row.answers;
    w.heldAfterFirstStart = row.heldAfterFirstStart;
    w.system.windowStationVisible = row.visible;
    EXPECT_EQ(w.Start(), row.exitCode);
    EXPECT_EQ(w.starts, row.starts);
    EXPECT_EQ(w.installerMutex.waits, row.waits);
    EXPECT_EQ(w.Shown(), row.shown);
  }
}

TEST(BusyInstaller, AnInstallerThatKeepsAnswering1618IsReportedAtTheLimit) {
  BusyWorld w;
  w.answers = {1618};
  EXPECT_EQ(w.Start({"/s"}), 1618u);
  ASSERT_EQ(w.starts.size(), 601u);
  for (std::size_t i = 1; i < w.starts.size(); ++i) {
    ASSERT_EQ(w.starts[i] - w.starts[i - 1], InstallerQueue::kRetryPause) << i;
  }
  EXPECT_EQ(w.starts.back(), kLimit);
  EXPECT_EQ(w.Shown(), std::vector<std::string>{kBusyText});
}

// A bootstrap package installed in-process waits its turn too; when its
// turn never comes, the run ends there.
TEST(BusyInstaller, ABootstrapPackageWaitsItsTurnOrEndsTheRun) {
  struct Row {
    std::string what;
    uint32_t heldUntil;
    std::optional<uint32_t> cancelAt;
    int failures;            // InstallProduct calls that fail ...
    uint32_t heldOnFailure;  // ... while another installation holds the mutex this long
    uint32_t exitCode;
    int installCalls;
    std::vector<std::string> walkAndInstall;
    std::vector<std::string> shown;
  } rows[] = {
      {"free", 0, std::nullopt, 0, 0, 0, 1, {"D:\\Bootstrap\\b.exe|", "msiexec"}, {}},
      {"a failure while another installation starts: its 1618",
       0,
       std::nullopt,
       1,
       3000,
       0,
       2,
       {"D:\\Bootstrap\\b.exe|", "msiexec"},
       {}},
      {"a failure with the installer free is passed over",
       0,
       std::nullopt,
       1,
       0,
       0,
       1,
       {"D:\\Bootstrap\\b.exe|", "msiexec"},
       {}},
      {"held past the limit", kLimit + 1, std::nullopt, 0, 0, 1618, 0, {}, {kBusyText}},
      {"cancelled", kLimit + 1, 2000, 0, 0, 1602, 0, {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    BusyWorld w;
    w.fs.AddFile("D:\\Bootstrap\\a.msi");
    w.fs.AddFile("D:\\Bootstrap\\b.exe");
    w.installerMutex.heldUntil = row.heldUntil;
    w.installerMutex.cancelAt = row.cancelAt;
    int failures = row.failures;
    w.automation.state.onInstallProduct = [&](const std::string&) {
      if (failures == 0) return;
      --failures;
      w.installerMutex.heldUntil = w.clock.now + row.heldOnFailure;
      throw DispatchError(kDispErrorException, "InstallProduct,PackagePath,PropertyValues");
    };
    EXPECT_EQ(w.Start(), row.exitCode);
    int calls = 0;
    for (const std::string& call : w.automation.state.calls) {
      calls += call.rfind("InstallProduct(D:\\Bootstrap\\a.msi,)", 0) == 0;
    }
    EXPECT_EQ(calls, row.installCalls);
    std::vector<std::string> walkAndInstall = w.BootstrapRuns();
    if (!w.Installs().empty()) walkAndInstall.push_back("msiexec");
    EXPECT_EQ(walkAndInstall, row.walkAndInstall);
    EXPECT_EQ(w.Shown(), row.shown);
    EXPECT_EQ(w.automation.state.liveObjects, 0);
    EXPECT_EQ(w.automation.state.uiLevel, 5);
  }
}

}  // namespace
}  // namespace setup
