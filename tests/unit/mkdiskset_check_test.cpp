#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/mkdiskset/check.h"
#include "tools/mkdiskset/disk_set_author.h"

namespace setup::tools {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::pair<std::string, std::string>>;

void Write(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

void Replace(const fs::path& path, const std::string& from, const std::string& to) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << text;
  Write(path, text.replace(at, from.size(), to));
}

// A package with a UIText table of rows, or without the table, made by
// msibuild as a vendor would.
void MakePackage(const fs::path& path, const Rows* rows) {
  fs::remove(path);
  std::string command = "msibuild '" + path.string() + "' ";
  if (rows) {
    std::string idt = "Key\tText\ns72\tL255\nUIText\tKey\n";
    for (const auto& [key, text] : *rows) idt += key + "\t" + text + "\n";
    Write(path.parent_path() / "UIText.idt", idt);
    command += "-i '" + (path.parent_path() / "UIText.idt").string() + "'";
  } else {
    command += "-s package";
  }
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  if (rows) fs::remove(path.parent_path() / "UIText.idt");
}

// The real package reader; a transform of the tests applies when it says so.
class MarkedTransforms : public PackageAccess {
 public:
  AutomationPlatform& Automation() override { return real_->Automation(); }
  bool TransformApplies(const fs::path&, const fs::path& transform, std::string& why) override {
    std::ifstream in(transform);
    std::string text;
    in >> text;
    why = "marked " + text;
    return text == "applies";
  }

 private:
  std::unique_ptr<PackageAccess> real_ = MakeLibmsiPackageAccess();
};

struct CheckRow {
  const char* name;
  std::function<void(const fs::path& medium)> prepare;
  std::vector<std::string> split;  // empty: the medium itself is checked
  std::function<void(const fs::path& set)> spoil;
  const char* expected;  // in the report; an error line when the run fails
  bool clean = false;
};

// Each row: a medium (or the set split from it) with one problem.
const Rows kEnglish = {{"Lang0009", "English"}, {"Lang0007", "Deutsch"}, {"NewFolder", "x"}};

std::vector<CheckRow> CheckRows() {
  const auto none = [](const fs::path&) {};
  std::vector<CheckRow> rows = {
      {"a clean medium", none, {}, none, "/es: run with /eq", true},
      {"a user of a listed language",
       none,
       {},
       none,
       "English (0009): 0009_l.mst present, applies\n    a user of this language gets 0009_l.mst "
       "at once, no dialog",
       true},
      {"any other user",
       none,
       {},
       none,
       "Any other user gets the language dialog listing Deutsch, English, Deutsch preselected",
       true},
      {"a clean set in images", none, {"--images"}, none, "Package: Setup.msi", true},
      {"two packages",
       [](const fs::path& m) { fs::copy(m / "Setup.msi", m / "Another.msi"); },
       {},
       none,
       "several packages (Another.msi, Setup.msi)",
       true},
      {"an empty file in a set",
       [](const fs::path& m) { Write(m / "empty.txt", ""); },
       {"--flat"},
       none,
       "warning: empty.txt has size 0: SETUP.EXE creates no file for it",
       true},
      {"a set naming a file outside ASCII",
       [](const fs::path& m) { Write(m / "Bootstrap" / "Caf\u00E9.exe", "c"); },
       {"--flat"},
       none,
       "Bootstrap\\Caf\u00E9.exe",
       true},
      {"the same set's manifest without the mark, in Windows-1252",
       [](const fs::path& m) { Write(m / "Bootstrap" / "Caf\u00E9\u20AC.exe", "c"); },
       {"--flat"},
       [](const fs::path& s) {
         Replace(s / "Files.id", "\xEF\xBB\xBF", "");
         Replace(s / "Files.id", "Caf\u00E9\u20AC", "Caf\xE9\x80");
       },
       "warning: Files.id line 3 (Bootstrap\\Caf\u00E9\u20AC.exe) names a file outside ASCII "
       "without the UTF-8 byte-order mark",
       true},
      {"invalid UTF-8 after the mark",
       [](const fs::path& m) { Write(m / "Bootstrap" / "Caf\u00E9.exe", "c"); },
       {"--flat"},
       [](const fs::path& s) { Replace(s / "Files.id", "Caf\u00E9", "Caf\xE9"); },
       "error (message 9): Files.id line 3 is not valid UTF-8"},
      {"no package",
       [](const fs::path& m) { fs::remove(m / "Setup.msi"); },
       {},
       none,
       "error (message 4): no package"},
      {"no UIText table",
       [](const fs::path& m) { MakePackage(m / "Setup.msi", nullptr); },
       {},
       none,
       "error (message 5)"},
      {"no language rows",
       [](const fs::path& m) {
         Rows other = {{"NewFolder", "x"}};
         MakePackage(m / "Setup.msi", &other);
       },
       {},
       none,
       "error (message 7)"},
      {"no English row",
       [](const fs::path& m) {
         Rows german = {{"Lang0007", "Deutsch"}};
         MakePackage(m / "Setup.msi", &german);
       },
       {},
       none,
       "error (message 8)"},
      {"a transform missing",
       [](const fs::path& m) { fs::remove(m / "0007_l.mst"); },
       {},
       none,
       "error (message 12): choosing Deutsch ends with message 12: 0007_l.mst is missing"},
      {"a transform that does not apply",
       [](const fs::path& m) { Write(m / "0009_l.mst", "junk"); },
       {},
       none,
       "error (exit code 1624): 0009_l.mst does not apply"},
      {"a set with a disk missing",
       none,
       {"--disk-size", "8192"},
       [](const fs::path& s) { fs::remove_all(s / "disk2"); },
       "error (message 9): disk 2 is missing"},
      {"a volume cut short",
       none,
       {"--flat", "--disk-size", "8192"},
       [](const fs::path& s) { fs::resize_file(s / "Disk.2", 100); },
       "error (message 9): the volumes hold"},
      {"an entry naming a device",
       none,
       {"--flat"},
       [](const fs::path& s) { Replace(s / "Files.id", "Bootstrap\\a.exe", "Bootstrap\\NUL.exe"); },
       "error (message 9): entry 4 (Bootstrap\\NUL.exe) is unsafe"},
      {"a manifest of 2^31 bytes",
       none,
       {"--flat"},
       [](const fs::path& s) { Replace(s / "Files.id", "a.exe,5000", "a.exe,2147483648"); },
       "error (message 9): the set holds 2^31 bytes or more"},
      {"a set whose package is not Setup.msi",
       none,
       {"--flat"},
       [](const fs::path& s) { Replace(s / "Files.id", "Setup.msi", "Other.msi"); },
       "error (message 4): no package: SETUP.EXE looks for Setup.msi among the files"},
  };
  return rows;
}

TEST(MkdisksetCheckTest, EachMediumWithOneProblemGetsTheCustomersError) {
  if (std::system("command -v msibuild >/dev/null 2>&1") != 0) GTEST_SKIP() << "no msibuild";
  const std::vector<CheckRow> rows = CheckRows();
  std::string pattern = (fs::temp_directory_path() / "mkdiskset-check-XXXXXX").string();
  const fs::path root = mkdtemp(pattern.data());
  MarkedTransforms packages;
  for (const CheckRow& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path medium = root / "medium", set = root / "set";
    fs::remove_all(medium);
    fs::remove_all(set);
    Write(medium / "SETUP.EXE", "MZ");
    MakePackage(medium / "Setup.msi", &kEnglish);
    for (const char* name : {"0007_l.mst", "0009_l.mst"}) Write(medium / name, "applies");
    Write(medium / "Bootstrap" / "a.exe", std::string(5000, 'a'));
    Write(medium / "Bootstrap" / "Msi" / "WinNT" / "update.exe", "u");
    row.prepare(medium);
    std::ostringstream out, err;
    if (!row.split.empty()) {
      std::vector<std::string> split = {"split", medium.string(), set.string()};
      split.insert(split.end(), row.split.begin(), row.split.end());
      ASSERT_EQ(RunMkdiskset(split, out, err), 0) << err.str();
      row.spoil(set);
    }
    int code = Check(row.split.empty() ? medium : set, false, packages, out, err);
    EXPECT_EQ(code, row.clean ? 0 : 1) << out.str() << err.str();
    EXPECT_NE(out.str().find(row.expected), std::string::npos) << out.str();
  }
  fs::remove_all(root);
}

TEST(MkdisksetCheckTest, LibmsiAppliesNoTransformThatIsNotOne) {
  if (std::system("command -v msibuild >/dev/null 2>&1") != 0) GTEST_SKIP() << "no msibuild";
  std::string pattern = (fs::temp_directory_path() / "mkdiskset-mst-XXXXXX").string();
  const fs::path root = mkdtemp(pattern.data());
  MakePackage(root / "p.msi", &kEnglish);
  Write(root / "junk.mst", std::string(4096, 'j'));
  fs::copy(root / "p.msi", root / "package.mst");  // a storage, but a package
  std::unique_ptr<PackageAccess> packages = MakeLibmsiPackageAccess();
  for (const char* name : {"junk.mst", "package.mst", "missing.mst"}) {
    SCOPED_TRACE(name);
    std::string why;
    EXPECT_FALSE(packages->TransformApplies(root / "p.msi", root / name, why));
    EXPECT_FALSE(why.empty());
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace setup::tools
