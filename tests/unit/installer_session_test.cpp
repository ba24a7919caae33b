#include "installer/installer_session.h"

#include <gtest/gtest.h>

#include "fakes/fake_installer.h"

namespace setup {
namespace {

using testing::FakeAutomation;

std::vector<std::pair<std::string, std::string>> Languages(
    std::vector<std::pair<std::string, std::string>> rows) {
  return rows;
}

TEST(InstallerSession, FetchLanguageSplitsOnlyKeysBeginningWithLang) {
  FakeAutomation automation;
  automation.state.packages["p.msi"] = Languages({{"Lang1031", "Deutsch"},
                                                  {"XLang1031", "No"},
                                                  {"lang0009", "No"},
                                                  {"Lang", "Bare"},
                                                  {"AbsentPath", "Text"},
                                                  {"", "Empty"}});
  InstallerSession session(automation);
  session.CreateInstaller();
  session.OpenDatabase("p.msi", -3);  // negative modes open read-only
  session.OpenView("SELECT * FROM UIText");
  std::vector<std::pair<std::string, std::string>> fetched;
  std::string name = "stale";
  std::string code = "stale";
  while (session.FetchLanguage(name, code)) fetched.push_back({name, code});
  EXPECT_EQ(name, "");
  EXPECT_EQ(fetched,
            Languages({{"Deutsch", "1031"}, {"", ""}, {"", ""}, {"Bare", ""}, {"", ""}, {"", ""}}));
  EXPECT_EQ(automation.state.calls[2], "OpenDatabase(p.msi,0)");
  EXPECT_EQ(automation.state.calls[3], "OpenView(SELECT * FROM UIText)");
  EXPECT_EQ(automation.state.calls[4], "Execute");
}

TEST(InstallerSession, UnreadableFieldsCountAsRowsWithoutALanguage) {
  FakeAutomation automation;
  automation.state.packages["p.msi"] = Languages({{"Lang0007", "Deutsch"}});
  automation.state.failing.insert("StringData");
  InstallerSession session(automation);
  session.CreateInstaller();
  session.OpenDatabase("p.msi", 0);
  session.OpenView("q");
  std::string name, code;
  EXPECT_TRUE(session.FetchLanguage(name, code));
  EXPECT_EQ(name, "");
  EXPECT_FALSE(session.FetchLanguage(name, code));
  // A failing Fetch itself is not swallowed.
  automation.state.failing.insert("Fetch");
  EXPECT_THROW(session.FetchLanguage(name, code), DispatchError);
}

TEST(InstallerSession, MissingObjectsAndASecondDatabaseAreAutomationErrors) {
  FakeAutomation automation;
  automation.state.packages["p.msi"] = {};
  InstallerSession session(automation);
  std::string name, code;
  EXPECT_THROW(session.OpenDatabase("p.msi", 0), AutomationError);
  EXPECT_THROW(session.OpenView("q"), AutomationError);
  EXPECT_THROW(session.FetchLanguage(name, code), AutomationError);
  EXPECT_THROW(session.CloseView(), AutomationError);
  EXPECT_THROW(session.CloseDatabase(), AutomationError);
  EXPECT_THROW(session.InstallProduct("x.msi", ""), AutomationError);
  session.SetUILevel(34);  // nothing happens without an Installer object
  EXPECT_EQ(session.SavedUILevel(), 5);

  session.CreateInstaller();
  session.OpenDatabase("p.msi", 0);
  EXPECT_THROW(session.OpenDatabase("p.msi", 0), AutomationError);
  EXPECT_TRUE(session.HasDatabase());
}

TEST(InstallerSession, CommitMissingOnTheDatabaseIsToleratedOtherFailuresAreNot) {
  FakeAutomation automation;
  automation.state.packages["p.msi"] = {};
  automation.state.failing.insert("Commit");
  InstallerSession session(automation);
  session.CreateInstaller();
  session.OpenDatabase("p.msi", 0);
  EXPECT_NO_THROW(session.CloseDatabase());  // DISP_E_MEMBERNOTFOUND
  EXPECT_FALSE(session.HasDatabase());

  automation.state.commitResult = kDispErrorException;
  session.OpenDatabase("p.msi", 0);
  EXPECT_THROW(session.CloseDatabase(), DispatchError);
}

TEST(InstallerSession, SetUILevelRemembersThePreviousLevel) {
  FakeAutomation automation;
  InstallerSession session(automation);
  session.CreateInstaller();
  automation.state.uiLevel = 3;
  session.SetUILevel(35);
  EXPECT_EQ(session.SavedUILevel(), 3);
  EXPECT_EQ(automation.state.uiLevel, 35);
}

TEST(InstallerSession, CloseSessionReleasesEverythingAndBalancesCom) {
  FakeAutomation automation;
  automation.state.packages["p.msi"] = {};
  {
    InstallerSession session(automation);
    session.CloseSession();  // empty: no COM to balance
    EXPECT_EQ(automation.state.comDepth, 0);
    session.CreateInstaller();
    session.OpenDatabase("p.msi", 0);
    session.OpenView("q");
    session.SetLanguagePrefix("1031_");
    session.CloseSession();
    EXPECT_EQ(automation.state.liveObjects, 0);
    EXPECT_EQ(automation.state.comDepth, 0);
    EXPECT_EQ(session.LanguagePrefix(), "1031_");
    // View.Close before Commit, as the objects were opened.
    auto& calls = automation.state.calls;
    EXPECT_LT(std::find(calls.begin(), calls.end(), "ViewClose"),
              std::find(calls.begin(), calls.end(), "Commit"));
  }
  // A session destroyed while objects are open still releases them all.
  {
    InstallerSession session(automation);
    session.CreateInstaller();
    session.OpenDatabase("p.msi", 0);
    automation.state.failing.insert("ViewClose");
    session.OpenView("q");
  }
  EXPECT_EQ(automation.state.liveObjects, 0);
  EXPECT_EQ(automation.state.comDepth, 0);
}

TEST(InstallerSession, FailedCoInitializeCreatesNothing) {
  FakeAutomation automation;
  automation.state.coInitializeResult = static_cast<int32_t>(0x80004005u);
  InstallerSession session(automation);
  EXPECT_THROW(session.CreateInstaller(), AutomationError);
  EXPECT_FALSE(session.HasInstaller());
  session.CloseSession();
  EXPECT_EQ(
      std::count(automation.state.calls.begin(), automation.state.calls.end(), "CoUninitialize"),
      0);

  FakeAutomation already;
  already.state.coInitializeResult = 1;  // S_FALSE still needs its balance
  {
    InstallerSession session(already);
    session.CreateInstaller();
    session.CloseSession();
  }
  EXPECT_EQ(already.state.comDepth, 0);
}

}  // namespace
}  // namespace setup
