#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/test_packages.h"
#include "fakes/test_pe_image.h"
#include "tools/mkdiskset/check.h"
#include "tools/mkdiskset/check_transform.h"
#include "tools/mkdiskset/disk_set_author.h"
#include "tools/msitransform/generate.h"

namespace setup::tools {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::pair<std::string, std::string>>;

void Write(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

void WriteProgram(const fs::path& path, const testing::PeImageSpec& spec) {
  const std::vector<uint8_t> image = testing::SmallPeImage(spec);
  Write(path, std::string(image.begin(), image.end()));
}

testing::PeImageSpec SignedProgram() {
  testing::PeImageSpec spec;
  spec.signature = true;
  return spec;
}

void Replace(const fs::path& path, const std::string& from, const std::string& to) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << text;
  Write(path, text.replace(at, from.size(), to));
}

// Inverts the byte at offset of the file at path.
void Invert(const fs::path& path, std::size_t offset) {
  std::ifstream in(path, std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_LT(offset, data.size());
  data[offset] = static_cast<char>(~data[offset]);
  Write(path, data);
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
  bool TransformApplies(const fs::path&, const fs::path& transform, std::string& why,
                        CheckReport&) override {
    std::ifstream in(transform);
    std::string text;
    in >> text;
    why = "marked " + text;
    return text == "applies";
  }
  void CheckPackageTexts(const fs::path& package, CheckReport& report) override {
    real_->CheckPackageTexts(package, report);
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
  const auto x64 = [](const fs::path& m) {
    testing::PeImageSpec spec = SignedProgram();
    spec.pe32Plus = true;
    spec.machine = 0x8664;
    WriteProgram(m / "SETUP.EXE", spec);
  };
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
       "error (message 5): the UIText table of Setup.msi cannot be read: the package has no "
       "UIText table"},
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
      {"a user whose language's transform is missing",
       [](const fs::path& m) { fs::remove(m / "0007_l.mst"); },
       {},
       none,
       "Deutsch (0007): 0007_l.mst missing\n    a user of this language gets the language "
       "dialog listing Deutsch, English, Deutsch preselected"},
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
      {"a disk damaged after the split",
       none,
       {"--disk-size", "8192"},
       [](const fs::path& s) { Invert(s / "disk2" / "Disk.2", 1000); },
       "error (message 9): disk 2 does not match its digest in Files.id: SETUP.EXE would refuse "
       "it as damaged, asking for it until Cancel, then message 9"},
      {"disk 2 of another set of the same length",
       none,
       {"--flat", "--disk-size", "8192"},
       [](const fs::path& s) { Invert(s / "Disk.2", 0); },
       "error (message 9): disk 2 is not the disk 2 that Files.id describes (its length or first "
       "block differs): SETUP.EXE would refuse it as a disk of another set"},
      {"a set without digests, as other tools make them",
       none,
       {"--flat", "--disk-size", "8192"},
       [](const fs::path& s) {
         std::ifstream in(s / "Files.id", std::ios::binary);
         std::string line, entries;
         while (std::getline(in, line)) {
           if (line.rfind("Disk.", 0) != 0) entries += line + "\n";
         }
         in.close();
         Write(s / "Files.id", entries);
       },
       "Volumes (the manifest lists",
       true},
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
      {"the program as checked",
       [](const fs::path& m) { fs::rename(m / "SETUP.EXE", m / "setup.exe"); },
       {},
       none,
       "Program: setup.exe: 32-bit (i386) Windows GUI program, signed",
       true},
      {"no program",
       [](const fs::path& m) { fs::remove(m / "SETUP.EXE"); },
       {},
       none,
       "error: no SETUP.EXE in the medium: the customer has nothing to start"},
      {"no program on disk 1",
       none,
       {"--disk-size", "8192"},
       [](const fs::path& s) { fs::remove(s / "disk1" / "SETUP.EXE"); },
       "error: no SETUP.EXE on disk 1"},
      {"the x86-64 build",
       x64,
       {},
       none,
       "error: SETUP.EXE is built for x86-64 (64-bit Windows only): a 32-bit Windows cannot "
       "start this program"},
      {"the x86-64 build in a set's images",
       x64,
       {"--images"},
       none,
       "Program: SETUP.EXE: 64-bit (x86-64) Windows GUI program, signed\nPackage: Setup.msi"},
      {"a console program",
       [](const fs::path& m) {
         testing::PeImageSpec spec = SignedProgram();
         spec.subsystem = 3;
         WriteProgram(m / "SETUP.EXE", spec);
       },
       {},
       none,
       "error: SETUP.EXE is a console program, not a GUI one: Windows opens a console window"},
      {"not a PE image",
       [](const fs::path& m) { Write(m / "SETUP.EXE", "MZ"); },
       {"--flat"},
       none,
       "error: SETUP.EXE is not a Windows program (no PE image Windows can load)"},
      {"an unsigned program",
       [](const fs::path& m) { WriteProgram(m / "SETUP.EXE", {}); },
       {},
       none,
       "warning: SETUP.EXE is not signed: started from a download or a network share, Windows "
       "first warns that its publisher is unknown",
       true},
      {"a package of code page 0 holding text outside ASCII",
       [](const fs::path& m) {
         Rows french = {{"Lang0009", "English"}, {"Lang0012", "Fran\u00E7ais"}};
         MakePackage(m / "Setup.msi", &french);
         Write(m / "0012_l.mst", "applies");
       },
       {},
       none,
       "error: Setup.msi is in code page 0 (neutral: ASCII only), which cannot hold its texts "
       "(table UIText, key Lang0012, column Text: \"Fran\u00E7ais\"): Windows reads them in the "
       "customer's own code page"},
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
    WriteProgram(medium / "SETUP.EXE", SignedProgram());
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

// Each row: the transform mkmst makes from a package to its Japanese
// build, changed in one way; whether Windows Installer would apply it.
TEST(MkdisksetCheckTest, ATransformAppliesOnlyWhereWindowsInstallerWouldApplyIt) {
  using msi::RowAction;
  using msi::Transform;
  std::string pattern = (fs::temp_directory_path() / "mkdiskset-mst-XXXXXX").string();
  const fs::path root = mkdtemp(pattern.data());
  testing::PackageSpec base, localized;
  base.sql = {
      "CREATE TABLE `Feature` (`Feature` CHAR(38) NOT NULL, `Title` CHAR(64) "
      "LOCALIZABLE PRIMARY KEY `Feature`)",
      "INSERT INTO `Feature` (`Feature`, `Title`) VALUES ('Complete', 'Everything')"};
  localized.sql = {base.sql[0],
                   "INSERT INTO `Feature` (`Feature`, `Title`) VALUES ('Complete', 'すべて')"};
  localized.codepage = 932;
  localized.language = "1041";
  testing::MakeTestPackage((root / "p.msi").string(), base);
  testing::MakeTestPackage((root / "l.msi").string(), localized);
  msi::PackageReader before, after;
  Transform made;
  std::string error;
  ASSERT_TRUE(before.Open((root / "p.msi").string(), error) &&
              after.Open((root / "l.msi").string(), error) &&
              msi::GenerateTransform(before, after, made, error))
      << error;
  auto feature = [](Transform& t) -> msi::TableChange& {
    return *std::find_if(t.tables.begin(), t.tables.end(),
                         [](const msi::TableChange& c) { return c.table == "Feature"; });
  };
  auto row = [&](Transform& t, RowAction action, const char* key) {
    feature(t).rows.push_back({action, 2, {{false, 0, key}, {false, 0, "x"}}});
  };
  auto productCode = [](Transform& t, RowAction action, const char* code) {
    for (msi::TableChange& change : t.tables) {
      if (change.table == "Property") {
        change.rows.push_back({action, 2, {{false, 0, "ProductCode"}, {false, 0, code}}});
      }
    }
  };
  const auto none = [](Transform&) {};
  struct Verdict {
    const char* name;
    std::function<void(Transform&)> change;
    std::function<void(const fs::path&)> spoil;
    const char* why;           // "" when it applies
    const char* finding = "";  // what the report says of it where it applies
  } rows[] = {
      {"a product code of its own",
       [&](Transform& t) {
         productCode(t, RowAction::kUpdate, "{99999999-2222-3333-4444-555555555555}");
       },
       nullptr, "",
       "warning: a product code of its own.mst changes the product code from "
       "{11111111-2222-3333-4444-555555555555} to {99999999-2222-3333-4444-555555555555}: a user "
       "who gets it installs another product"},
      {"texts in code page 0",
       [&](Transform& t) {
         t.codepage = 1250;
         for (msi::RowChange& change : feature(t).rows) change.cells[1].text = "f\u00FCr";
       },
       [](const fs::path& f) {
         // The pool's header is the only place of code page 1250 (the
         // summary names 1252): made 0, the pool keeps its bytes.
         std::ifstream in(f, std::ios::binary);
         std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
         const std::string header("\xE2\x04\x00\x00", 4);
         ASSERT_EQ(bytes.find(header), bytes.rfind(header));
         Replace(f, header, std::string(4, '\0'));
       },
       "",
       "error: texts in code page 0.mst is in code page 0 (neutral: ASCII only), which cannot "
       "hold its texts (table Feature, key Complete, column Title: \"f\u00FCr\")"},
      {"the package's own product code",
       [&](Transform& t) {
         productCode(t, RowAction::kUpdate, "{11111111-2222-3333-4444-555555555555}");
       },
       nullptr, ""},
      {"as mkmst made it", none, nullptr, ""},
      {"empty, without summary information", [](Transform& t) { t = Transform(); }, nullptr, ""},
      {"for another product", [](Transform& t) { t.summary.revisionNumber[1] = '9'; }, nullptr,
       "made for another product: it is for product {91111111-"},
      {"for another upgrade code",
       [](Transform& t) {
         t.summary.characterCount |= msi::kValidateUpgradeCode << 16;
         t.summary.revisionNumber.back() = '}';
         t.summary.revisionNumber.insert(t.summary.revisionNumber.size() - 2, "B");
       },
       nullptr, "made for another product family"},
      {"for another language",
       [](Transform& t) {
         t.summary.characterCount |= msi::kValidateLanguage << 16;
         t.summary.templateText = "Intel;1031";
       },
       nullptr, "made for a package of language 1031, the package's is 1033"},
      {"for another version",
       [](Transform& t) {
         t.summary.characterCount |= (msi::kValidateMinorVersion | msi::kValidateNewEqualBase)
                                     << 16;
         t.summary.revisionNumber.replace(38, 5, "1.1.0");
       },
       nullptr, "made for version 1.1.0 of the product, the package is version 1.0.0"},
      {"the base's own version, where the package must be newer",
       [](Transform& t) {
         t.summary.characterCount |= (msi::kValidateMinorVersion | msi::kValidateNewGreaterBase)
                                     << 16;
       },
       nullptr, "made for version 1.0.0 of the product, the package is version 1.0.0"},
      {"an older base, where the package must be newer",
       [](Transform& t) {
         t.summary.characterCount |= (msi::kValidateMinorVersion | msi::kValidateNewGreaterBase)
                                     << 16;
         t.summary.revisionNumber.replace(38, 5, "0.9.0");
       },
       nullptr, ""},
      {"a row the package does not have",
       [&](Transform& t) { row(t, RowAction::kUpdate, "Missing"); }, nullptr,
       "it changes row Missing of table Feature, which the package does not have"},
      {"a row deleted that is not there",
       [&](Transform& t) { row(t, RowAction::kDelete, "Missing"); }, nullptr,
       "it deletes row Missing of table Feature"},
      {"the same, with that error suppressed",
       [&](Transform& t) {
         row(t, RowAction::kDelete, "Missing");
         t.summary.characterCount |= msi::kErrorDeleteMissingRow;
       },
       nullptr, ""},
      {"a row added that is there", [&](Transform& t) { row(t, RowAction::kInsert, "Complete"); },
       nullptr, "it adds row Complete to table Feature, which already has it"},
      {"the same, with that error suppressed",
       [&](Transform& t) {
         row(t, RowAction::kInsert, "Complete");
         t.summary.characterCount |= msi::kErrorAddExistingRow;
       },
       nullptr, ""},
      {"a table the package does not have", [&](Transform& t) { feature(t).table = "Other"; },
       nullptr, "it changes table Other, which the package does not have"},
      {"a change of code page it does not allow",
       [](Transform& t) { t.summary.characterCount &= ~msi::kErrorChangeCodepage; }, nullptr,
       "its code page 932 is not the package's (1252)"},
      {"a package, not a transform", none,
       [&](const fs::path& f) {
         fs::copy_file(root / "p.msi", f, fs::copy_options::overwrite_existing);
       },
       "not a transform: its storage class is {000C1084-"},
      {"cut short", none, [](const fs::path& f) { fs::resize_file(f, 1536); }, "damaged"},
      {"junk", none, [](const fs::path& f) { Write(f, std::string(4096, 'j')); },
       "not a structured"},
      {"missing", none, [](const fs::path& f) { fs::remove(f); }, "No such file"},
  };
  std::unique_ptr<PackageAccess> packages = MakeLibmsiPackageAccess();
  for (const Verdict& verdict : rows) {
    SCOPED_TRACE(verdict.name);
    Transform transform = made;
    verdict.change(transform);
    const fs::path file = root / (std::string(verdict.name) + ".mst");
    ASSERT_TRUE(msi::WriteTransform(transform, file.string(), error)) << error;
    if (verdict.spoil) verdict.spoil(file);
    std::string why;
    CheckReport report;
    EXPECT_EQ(packages->TransformApplies(root / "p.msi", file, why, report), *verdict.why == '\0');
    EXPECT_NE(why.find(verdict.why), std::string::npos) << why;
    std::string findings;
    for (const Finding& finding : report.warnings) findings += "warning: " + finding.text + "\n";
    for (const Finding& finding : report.errors) findings += "error: " + finding.text + "\n";
    if (*verdict.finding == '\0') {
      EXPECT_EQ(findings, "");
    } else {
      EXPECT_NE(findings.find(verdict.finding), std::string::npos) << findings;
    }
  }
  fs::remove_all(root);
}

// Each row: the texts outside ASCII of a file of some code page; the
// error the check reports, or none.
TEST(MkdisksetCheckTest, TextsOutsideTheirCodePageAreNamedWithWhatTheCustomerSees) {
  const msi::TextCell fuer{"Property", "ProductName", "Value", "Produit f\u00FCr Sie"};
  const msi::TextCell kana{"Feature", "Complete", "Title", "\u3059\u3079\u3066"};
  const msi::TextCell cyrillic{"Property", "ARPCOMMENTS", "Value", "\u041F\u0440\u0438"};
  const msi::TextCell hebrew{"Property", "ARPCOMMENTS", "Value", "\u05E9\u05DC\u05D5\u05DD"};
  const struct {
    const char* name;
    int codepage, language;
    std::vector<msi::TextCell> cells;
    const char* error;  // "" for none
  } rows[] = {
      {"ASCII only in code page 0", 0, 1033, {}, ""},
      {"an accent in code page 1252", 1252, 1036, {fuer}, ""},
      {"an accent in code page 0",
       0,
       1031,
       {fuer},
       "file.msi is in code page 0 (neutral: ASCII only), which cannot hold its texts (table "
       "Property, key ProductName, column Value: \"Produit f\u00FCr Sie\"): Windows reads them in "
       "the customer's own code page, so they come out right only where that is 1252 (Western "
       "European systems) and as other characters elsewhere (a Cyrillic system shows \"Produit "
       "f\u044Cr Sie\"); set code page 1252 on the language build it comes from "
       "(scripts/set-codepage.sh BUILD.msi 1252) and make the medium again"},
      {"the bytes of a transform of code page 0",
       0,
       1031,
       {{"Property", "ProductName", "Value", "f\xFCr"}},
       "column Value: \"f\u00FCr\"): Windows reads them"},
      {"Japanese in code page 1252",
       1252,
       1041,
       {kana},
       "file.msi is in code page 1252, which cannot hold its texts (table Feature, key Complete, "
       "column Title: \"\u3059\u3079\u3066\"): Windows Installer cannot read them"},
      {"the code page follows the language", 0, 1049, {cyrillic}, "set code page 1251"},
      {"scripts that no one code page holds",
       0,
       1033,
       {fuer, hebrew},
       "no one code page holds all its texts"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CheckReport report;
    ReportTextsOutsideCodepage("file.msi", row.codepage, row.language, row.cells, report);
    if (*row.error == '\0') {
      EXPECT_TRUE(report.errors.empty()) << report.errors[0].text;
    } else {
      ASSERT_EQ(report.errors.size(), 1u);
      EXPECT_NE(report.errors[0].text.find(row.error), std::string::npos) << report.errors[0].text;
    }
  }
}

}  // namespace
}  // namespace setup::tools
