#include "installer/prerequisites.h"

#include <gtest/gtest.h>

#include "fakes/fake_machine.h"

namespace setup {
namespace {

using namespace setup::testing;

FileVersion Version(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return FileVersion{(a << 16) | b, (c << 16) | d};
}

TEST(InstallerVersion, CodingOfTheFirstTwoComponents) {
  struct Row {
    std::string version;
    int32_t coded;
  } rows[] = {{"2.0.2600.2", 200},
              {"2.0.2600.0", 200},
              {"1.20.1827.0", 120},
              {"1.10.1029.0", 110},
              {"3.1.4000.1823", 310},
              {"5.0.7601.17514", 500},
              {"4.5.6001.22308", 450},
              {"10.0.1.0", 100},
              {"", 0},
              {"7", 0},
              {"1.2", 10},
              {"x.y.z.w", 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.version);
    EXPECT_EQ(CodeInstallerVersion(row.version), row.coded);
  }
  EXPECT_EQ(FormatFileVersion(Version(2, 0, 2600, 2)), "2.0.2600.2");
  EXPECT_EQ(FormatFileVersion(Version(65535, 0, 0, 65535)), "65535.0.0.65535");
}

TEST(PlatformFamily, FamiliesAndTheNt4ServicePackVerdict) {
  struct Row {
    OsVersion os;
    PlatformFamily family;
    std::string name;
    bool servicePackOk;
  } rows[] = {
      {{2, 4, 0, 1381, "Service Pack 6"}, PlatformFamily::WindowsNT, "WinNT", true},
      {{2, 4, 0, 1381, "Service Pack 6a"}, PlatformFamily::WindowsNT, "WinNT", true},
      {{2, 4, 0, 1381, "Service Pack 5"}, PlatformFamily::WindowsNT, "WinNT", false},
      {{2, 4, 0, 1381, ""}, PlatformFamily::WindowsNT, "WinNT", false},
      {{2, 4, 0, 1381, " Service Pack 6"}, PlatformFamily::WindowsNT, "WinNT", false},
      {{2, 4, 0, 1382, ""}, PlatformFamily::WindowsNT, "WinNT", true},
      {{2, 5, 0, 2195, ""}, PlatformFamily::WindowsNT, "WinNT", true},
      {{2, 3, 51, 1057, ""}, PlatformFamily::WindowsNT, "WinNT", true},
      {{1, 4, 10, 2222, "A"}, PlatformFamily::Windows9x, "Win9X", true},
      {{0, 3, 10, 0, ""}, PlatformFamily::Unsupported, "unchanged", true},
      {{3, 5, 0, 0, ""}, PlatformFamily::Unsupported, "unchanged", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.os.platformId) + " " + std::to_string(row.os.buildNumber) +
                 " '" + row.os.csdVersion + "'");
    std::string name = "unchanged";
    bool ok = false;
    EXPECT_EQ(ClassifyPlatform(row.os, name, ok), row.family);
    EXPECT_EQ(name, row.name);
    EXPECT_EQ(ok, row.servicePackOk);
  }
}

class Engine : public ::testing::Test, public FakeMachine {
 protected:
  // The stage error CheckPrerequisites ended with, or 0 when it passed.
  int Check() {
    try {
      prerequisites.CheckPrerequisites("D:\\Bootstrap\\Msi\\");
      return 0;
    } catch (const StageError& error) {
      return error.id;
    }
  }
};

TEST_F(Engine, ANewEnoughEngineLooksNoFurther) {
  system.versions["C:\\Windows\\System32\\msi.dll"] = Version(2, 0, 2600, 0);
  system.os = {2, 4, 0, 1381, ""};  // would fail the service-pack test
  EXPECT_EQ(Check(), 0);
  system.systemFolder = "C:\\Windows\\System32\\\\";
  EXPECT_EQ(prerequisites.GetInstallerVersion(), 200);
  system.systemFolder.reset();
  EXPECT_EQ(prerequisites.GetInstallerVersion(), 0);
}

TEST_F(Engine, OldEnginesAreRefusedOrUpdated) {
  fs.AddFile("D:\\Bootstrap\\Msi\\WinNT\\instmsiw.exe");
  fs.AddFile("D:\\Bootstrap\\Msi\\WinNT\\notes.txt");
  fs.AddFolder("D:\\Bootstrap\\Msi\\WinNT\\Sub");
  fs.AddFile("D:\\Bootstrap\\Msi\\WinNT\\Sub\\deeper.exe");
  fs.AddFile("D:\\Bootstrap\\Msi\\Win9X\\instmsia.exe");
  struct Row {
    FileVersion msi;
    OsVersion os;
    int stageError;
    std::vector<std::string> ran;
  } rows[] = {
      {Version(1, 20, 1827, 0),
       {2, 5, 1, 2600, ""},
       -1,
       {"D:\\Bootstrap\\Msi\\WinNT\\instmsiw.exe"}},
      {Version(1, 10, 1029, 0),
       {1, 4, 10, 2222, ""},
       -1,
       {"D:\\Bootstrap\\Msi\\Win9X\\instmsia.exe"}},
      {Version(10, 0, 1, 0), {2, 5, 1, 2600, ""}, -1, {"D:\\Bootstrap\\Msi\\WinNT\\instmsiw.exe"}},
      {Version(1, 20, 1827, 0), {0, 3, 10, 0, ""}, 1, {}},
      {Version(1, 20, 1827, 0), {2, 4, 0, 1381, "Service Pack 5"}, 13, {}},
      {Version(1, 20, 1827, 0),
       {2, 4, 0, 1381, "Service Pack 6a"},
       -1,
       {"D:\\Bootstrap\\Msi\\WinNT\\instmsiw.exe"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(FormatFileVersion(row.msi) + " on " + std::to_string(row.os.platformId));
    processes.runs.clear();
    system.versions["C:\\Windows\\System32\\msi.dll"] = row.msi;
    system.os = row.os;
    EXPECT_EQ(Check(), row.stageError);
    std::vector<std::string> ran;
    for (const auto& run : processes.runs) {
      ran.push_back(run.program);
      EXPECT_EQ(run.arguments, "");
    }
    EXPECT_EQ(ran, row.ran);
  }
  EXPECT_EQ(fs.openSearches, 0);
}

TEST_F(Engine, MissingEngineFolderOrUnstartableProgramStillEndsQuietly) {
  system.versions.clear();  // no msi.dll version: counts as 0
  EXPECT_EQ(Check(), -1);
  EXPECT_TRUE(processes.runs.empty());

  fs.AddFile("D:\\Bootstrap\\Msi\\WinNT\\a.exe");
  fs.AddFile("D:\\Bootstrap\\Msi\\WinNT\\b.exe");
  processes.unstartable.insert("D:\\Bootstrap\\Msi\\WinNT\\a.exe");
  EXPECT_EQ(Check(), -1);
  EXPECT_TRUE(processes.runs.empty());
  EXPECT_EQ(fs.openSearches, 0);
}

}  // namespace
}  // namespace setup
