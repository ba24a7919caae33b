#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "fakes/test_packages.h"
#include "tools/mkmst/run_mkmst.h"
#include "tools/msitransform/codepages.h"
#include "tools/msitransform/generate.h"
#include "tools/msitransform/summary_stream.h"

namespace setup::msi {
namespace {

namespace fs = std::filesystem;
using testing::MakeTestPackage;
using testing::PackageSpec;

class TransformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "msitransform-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string Path(const std::string& name) const { return (root_ / name).string(); }
  fs::path root_;
};

std::string KeyText(const Schema& schema, const Row& row) {
  std::string text;
  for (size_t i = 0; i < schema.size(); ++i) {
    if (!IsKey(schema[i].type)) continue;
    if (!text.empty()) text += ".";
    text += IsString(schema[i].type) ? row[i].text : std::to_string(row[i].number);
  }
  return text;
}

std::string Sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The changes in a line each: "+Table", "-Table", "Table insert|update|delete key".
std::string Changes(const Transform& transform) {
  std::vector<std::string> lines;
  for (const auto& [name, schema] : transform.addedTables) lines.push_back("+" + name);
  for (const std::string& name : transform.droppedTables) lines.push_back("-" + name);
  for (const TableChange& table : transform.tables) {
    for (const RowChange& row : table.rows) {
      const char* action = row.action == RowAction::kInsert   ? " insert "
                           : row.action == RowAction::kUpdate ? " update "
                                                              : " delete ";
      lines.push_back(table.table + action + KeyText(table.schema, row.cells));
    }
  }
  return Sorted(lines);
}

// Rows by key, for each table.
struct Keyed {
  Schema schema;
  std::map<std::string, Row> rows;
  bool operator==(const Keyed& o) const { return schema == o.schema && rows == o.rows; }
};

std::map<std::string, Keyed> AllTables(PackageReader& package) {
  std::map<std::string, Keyed> tables;
  std::string error;
  for (const auto& [name, schema] : package.TableSchemas()) {
    Table table;
    EXPECT_TRUE(package.ReadTable(name, table, error)) << error;
    Keyed& keyed = tables[name];
    keyed.schema = schema;
    for (Row& row : table.rows) keyed.rows[KeyText(schema, row)] = std::move(row);
  }
  return tables;
}

// Applies transform to tables as the installer would.
void Apply(const Transform& transform, std::map<std::string, Keyed>& tables) {
  for (const std::string& name : transform.droppedTables) tables.erase(name);
  for (const auto& [name, schema] : transform.addedTables) tables[name].schema = schema;
  for (const TableChange& change : transform.tables) {
    Keyed& table = tables[change.table];
    for (const RowChange& row : change.rows) {
      std::string key = KeyText(table.schema, row.cells);
      auto it = table.rows.find(key);
      if (row.action == RowAction::kInsert) {
        ASSERT_EQ(it, table.rows.end()) << key;
        table.rows[key] = row.cells;
        continue;
      }
      ASSERT_NE(it, table.rows.end()) << key;
      if (row.action == RowAction::kDelete) {
        table.rows.erase(it);
        continue;
      }
      for (size_t i = 0; i < row.cells.size(); ++i) {
        if ((row.columns & (1u << i)) != 0) it->second[i] = row.cells[i];
      }
    }
  }
}

const char kFeature[] =
    "CREATE TABLE `Feature` (`Feature` CHAR(38) NOT NULL, `Title` CHAR(64) LOCALIZABLE, "
    "`Display` LONG, `Level` INT NOT NULL PRIMARY KEY `Feature`)";

struct PairRow {
  const char* name;
  std::function<void(PackageSpec& base, PackageSpec& localized)> edit;
  const char* changes;  // Changes() of the transform, with the Property rows every pair has
};

// Every pair also changes ProductLanguage (1033 to 1031 or 1041).
std::vector<PairRow> Pairs() {
  auto feature = [](PackageSpec& p, const std::string& title, int display) {
    p.sql = {kFeature,
             "INSERT INTO `Feature` (`Feature`, `Title`, `Display`, `Level`) VALUES "
             "('Complete', '" +
                 title + "', " + std::to_string(display) + ", 1)"};
  };
  // A table of columns columns whose last one changes.
  auto wide = [](PackageSpec& b, PackageSpec& l, int columns) {
    std::string create = "CREATE TABLE `Wide` (`K` CHAR(8) NOT NULL";
    std::string names = "`K`", values = "'w'";
    for (int i = 2; i <= columns; ++i) {
      create += ", `C" + std::to_string(i) + "` INT";
      names += ", `C" + std::to_string(i) + "`";
      values += ", " + std::to_string(i);
    }
    create += " PRIMARY KEY `K`)";
    b.sql = {create, "INSERT INTO `Wide` (" + names + ") VALUES (" + values + ")"};
    l.sql = {create, "INSERT INTO `Wide` (" + names + ") VALUES (" + values + "0)"};
  };
  return {
      {"updated row",
       [&](PackageSpec& b, PackageSpec& l) {
         feature(b, "Everything", 2);
         feature(l, "Alles", 2);
       },
       "Feature update Complete\n"},
      {"inserted and deleted rows",
       [&](PackageSpec& b, PackageSpec& l) {
         feature(b, "Everything", 2);
         feature(l, "Everything", 2);
         b.sql.push_back("INSERT INTO `Feature` (`Feature`, `Level`) VALUES ('Old', 3)");
         l.sql.push_back("INSERT INTO `Feature` (`Feature`, `Level`) VALUES ('New', -32767)");
       },
       "Feature delete Old\nFeature insert New\n"},
      {"added table", [&](PackageSpec&, PackageSpec& l) { feature(l, "Alles", 40000); },
       "+Feature\nFeature insert Complete\n"},
      {"dropped table", [&](PackageSpec& b, PackageSpec&) { feature(b, "Everything", 2); },
       "-Feature\n"},
      {"binary streams",
       [](PackageSpec& b, PackageSpec& l) {
         b.blobs = {{"Banner", "english banner"}, {"Same", std::string(5000, 's')}};
         l.blobs = {{"Banner", "deutsches Banner"},
                    {"Same", std::string(5000, 's')},
                    {"Logo", std::string("\0\1\2", 3)}};
       },
       "Binary insert Logo\nBinary update Banner\n"},
      // The installer names a cell's stream by the key's UTF-16 characters
      // (U+0153 is no 'S', whose byte it ends in).
      {"binary streams under keys outside ASCII",
       [](PackageSpec& b, PackageSpec& l) {
         b.blobs = {{"Bild_\u00e4", "alt"}};
         l.blobs = {{"Bild_\u00e4", "neu"}, {"Logo_\u0153", "x"}};
       },
       "Binary insert Logo_\u0153\nBinary update Bild_\u00e4\n"},
      {"a binary stream under a key outside the BMP (code page 65001)",
       [](PackageSpec& b, PackageSpec& l) {
         b.codepage = l.codepage = 65001;
         l.blobs = {{"Logo_\U0001F600", "x"}};
       },
       "Binary insert Logo_\U0001F600\n"},
      {"code page 1252 to 932",
       [&](PackageSpec& b, PackageSpec& l) {
         feature(b, "Everything", 2);
         l.codepage = 932;
         l.language = "1041";
         feature(l, "すべて", 2);
       },
       "Feature update Complete\n"},
      {"a change in the 17th column, the first past the mask",
       [&](PackageSpec& b, PackageSpec& l) { wide(b, l, 17); }, "Wide delete w\nWide insert w\n"},
      {"a change in the 18th column", [&](PackageSpec& b, PackageSpec& l) { wide(b, l, 18); },
       "Wide delete w\nWide insert w\n"},
      {"a base without a template in its summary information",
       [](PackageSpec& b, PackageSpec&) { b.platform = false; }, ""},
  };
}

TEST_F(TransformTest, TheTransformOfEachPairTurnsBaseIntoLocalized) {
  for (const PairRow& pair : Pairs()) {
    SCOPED_TRACE(pair.name);
    PackageSpec base, localized;
    localized.language = "1031";
    pair.edit(base, localized);
    MakeTestPackage(Path("base.msi"), base);
    MakeTestPackage(Path("localized.msi"), localized);
    std::ostringstream out, err;
    ASSERT_EQ(
        setup::tools::RunMkmst({Path("base.msi"), Path("localized.msi"), Path("t.mst")}, out, err),
        0)
        << err.str();

    PackageReader before, after;
    std::string error;
    ASSERT_TRUE(before.Open(Path("base.msi"), error)) << error;
    ASSERT_TRUE(after.Open(Path("localized.msi"), error)) << error;
    Transform transform;
    ASSERT_TRUE(ReadTransform(Path("t.mst"), before.TableSchemas(), transform, error)) << error;
    if (pair.changes != nullptr) {
      std::vector<std::string> expected = Lines(pair.changes);
      expected.push_back("Property update ProductLanguage");
      EXPECT_EQ(Changes(transform), Sorted(expected));
    }
    EXPECT_EQ(transform.codepage, localized.codepage);
    EXPECT_EQ(transform.stringBytes, 2);
    std::map<std::string, Keyed> tables = AllTables(before);
    Apply(transform, tables);
    EXPECT_TRUE(tables == AllTables(after));

    const TransformSummary& summary = transform.summary;
    EXPECT_EQ(summary.templateText, (base.platform ? "Intel" : "") + std::string(";1033"));
    EXPECT_EQ(summary.lastSavedBy, "Intel;" + localized.language);
    EXPECT_EQ(summary.revisionNumber,
              base.productCode + "1.0.0;" + localized.productCode + "1.0.0;" + base.upgradeCode);
    EXPECT_EQ(summary.characterCount, 0x00020020);
  }
}

// More than 65535 strings take 3-byte references. (Made without libmsi,
// whose import of that many rows takes minutes under AddressSanitizer.)
TEST_F(TransformTest, APoolOfMoreThan65535StringsIsReadBackWithThreeByteReferences) {
  const Schema schema = {{"Key", kTypeKey | kTypeString | kTypeValid | 72},
                         {"Text", kTypeNullable | kTypeString | kTypeValid | 0x200 | 255}};
  Transform written;
  written.codepage = 1252;
  written.addedTables.emplace_back("Big", schema);
  written.tables.push_back({"Big", schema, {}});
  for (int i = 0; i < 33000; ++i) {
    written.tables[0].rows.push_back(
        {RowAction::kInsert,
         0,
         {{false, 0, "k" + std::to_string(i)}, {false, 0, "t\xC3\xBC" + std::to_string(i)}}});
  }
  std::string error;
  ASSERT_TRUE(WriteTransform(written, Path("big.mst"), error)) << error;
  Transform read;
  ASSERT_TRUE(ReadTransform(Path("big.mst"), {}, read, error)) << error;
  EXPECT_EQ(read.stringBytes, 3);
  ASSERT_EQ(read.tables.size(), 1u);
  EXPECT_EQ(read.tables[0].schema, schema);
  ASSERT_EQ(read.tables[0].rows.size(), written.tables[0].rows.size());
  EXPECT_EQ(read.tables[0].rows.back().cells, written.tables[0].rows.back().cells);
}

// What a transform cannot hold: a string outside its code page, a stream
// name past the 31 code units of a storage element or not in UTF-8.
TEST_F(TransformTest, WriteTransformRefusesWhatATransformCannotHold) {
  const Schema schema = {{"Key", kTypeKey | kTypeString | kTypeValid | 72},
                         {"Data", kTypeNullable | kTypeString | kTypeValid}};  // binary
  struct Refusal {
    const char* name;
    std::string table, key;
    const char* message;
  } rows[] = {
      {"a string outside the code page", "T", "\u3042", "cannot be written in code page 1252"},
      {"a table name of 31 units after the prefix", std::string(61, 'T'), "k", "too long"},
      {"a cell's stream name of 32 units", "T", std::string(31, '-'), "too long"},
      {"a table name that is not UTF-8", "T\xFF", "k", "is not UTF-8"},
  };
  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.name);
    Transform transform;
    transform.codepage = 1252;
    transform.tables.push_back(
        {row.table, schema, {{RowAction::kInsert, 0, {{false, 0, row.key}, {false, 0, "data"}}}}});
    std::string error;
    EXPECT_FALSE(WriteTransform(transform, Path("t.mst"), error));
    EXPECT_NE(error.find(row.message), std::string::npos) << error;
  }
}

// Each row: texts and the language of their build; the code page that
// holds them all.
TEST(CodepageTest, TheCodePageThatHoldsEveryTextPrefersTheLanguages) {
  const struct {
    const char* name;
    std::vector<std::string> texts;
    int language;
    std::optional<int> codepage;
  } rows[] = {
      {"ASCII only", {"Sample Product", "Complete"}, 1033, 0},
      {"German", {"f\u00FCr", "Beispiel"}, 1031, 1252},
      {"French", {"Fran\u00E7ais", "Install\u00E9 par"}, 1036, 1252},
      {"Western text in a Russian build", {"f\u00FCr"}, 1049, 1252},
      {"Russian", {"\u041F\u0440\u0438\u0432\u0435\u0442"}, 1049, 1251},
      {"Russian in an English build", {"\u041F\u0440\u0438"}, 1033, 1251},
      {"Cyrillic that 1251 and 932 both hold, in a Japanese build",
       {"\u041F\u0440\u0438"},
       1041,
       932},
      {"Czech", {"\u010Ce\u0161tina"}, 1029, 1250},
      {"Greek", {"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC"}, 1032, 1253},
      {"Japanese", {"\u3059\u3079\u3066"}, 1041, 932},
      {"Japanese in an English build", {"\u3059\u3079\u3066"}, 1033, 932},
      {"Chinese (PRC)", {"\u7B80\u4F53"}, 2052, 936},
      {"Chinese (Taiwan)", {"\u7E41\u9AD4"}, 1028, 950},
      {"a language the table does not know", {"f\u00FCr"}, 0x7F, 1252},
      {"Hebrew beside an umlaut", {"f\u00FCr", "\u05E9\u05DC\u05D5\u05DD"}, 1037, std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(CodepageHolding(row.texts, row.language), row.codepage);
  }
}

// What mkmst refuses: nothing is written, and OUT is left as it was.
TEST_F(TransformTest, MkmstRefusesWhatItCannotWriteAndWritesNothing) {
  const char kTable[] = "CREATE TABLE `T` (`K` CHAR(8) NOT NULL, `A` INT PRIMARY KEY `K`)";
  struct Refusal {
    const char* name;
    std::vector<std::string> base, localized;
    std::vector<std::string> arguments;  // empty: base.msi localized.msi out.mst
    int code;
    const char* message;
    int localizedCodepage = 1252;
  } rows[] = {
      {"an accent in a build of code page 0",
       {},
       {"UPDATE `Property` SET `Value` = 'Produit f\u00FCr Sie' WHERE `Property` = "
        "'ProductVersion'"},
       {},
       1,
       "localized.msi is in code page 0, which cannot hold its texts (table Property, key "
       "ProductVersion, column Value: \"Produit f\u00FCr Sie\");\n  code page 1252 holds every "
       "text of it: set it on the build with\n    scripts/set-codepage.sh ",
       0},
      {"not a package",
       {},
       {},
       {"out.mst", "localized.msi", "other.mst"},
       1,
       "out.mst: it is not a Windows Installer package"},
      {"a column added",
       {kTable},
       {"CREATE TABLE `T` (`K` CHAR(8) NOT NULL, `A` INT, `B` INT PRIMARY KEY `K`)"},
       {},
       1,
       "column B (type 5378) is added to table T"},
      {"a column's type changed",
       {kTable},
       {"CREATE TABLE `T` (`K` CHAR(8) NOT NULL, `A` LONG PRIMARY KEY `K`)"},
       {},
       1,
       "column 2 of table T changes from A (type 5378) to A (type 4356)"},
      {"no package",
       {},
       {},
       {"missing.msi", "localized.msi", "out.mst"},
       1,
       "missing.msi: there is no such file"},
      {"OUT is the base", {}, {}, {"base.msi", "localized.msi", "base.msi"}, 2, "refusing"},
      {"too few arguments", {}, {}, {"base.msi", "out.mst"}, 2, "usage: mkmst"},
  };
  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.name);
    PackageSpec base, localized;
    base.sql = row.base;
    localized.sql = row.localized;
    localized.codepage = row.localizedCodepage;
    MakeTestPackage(Path("base.msi"), base);
    MakeTestPackage(Path("localized.msi"), localized);
    std::ofstream(Path("out.mst")) << "before";
    std::vector<std::string> arguments = {"base.msi", "localized.msi", "out.mst"};
    if (!row.arguments.empty()) arguments = row.arguments;
    for (std::string& argument : arguments) argument = Path(argument);
    std::ostringstream out, err;
    EXPECT_EQ(setup::tools::RunMkmst(arguments, out, err), row.code);
    EXPECT_NE(err.str().find(row.message), std::string::npos) << err.str();
    std::ifstream in(Path("out.mst"));
    std::string text;
    in >> text;
    EXPECT_EQ(text, "before");
    EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 3);
  }
}

// Held in a buffer of their own length, so that the sanitizer build sees a
// read past the end.
std::string FromHex(const std::string& hex) {
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// The summary stream of the transform the fuzz target found: its section
// lies in the last 8 bytes and has size 0, so a count of 2^24 pairs passed.
const char kShortSectionFinding[] =
    "FEFF0000268F000000268EFFFFFF1BFF000000000000000000FFFF1BE0859FF2F94F6810AB9108002B27B3D9"
    "FF00000000000000000000268E0000FF0000000000000000000000000000268E0000FF000000000000000001"
    "000000001700E120FF00FF2AFF0010000000FFFFFFFF010000000100000000FF00FF2AFF0010000000FFFFFF"
    "FF0100000000000000000000001700E1207FBAFFFEFF00FF000000000000000000000000268E0000FF000000"
    "0000000000000000000000268E0000FF000000000000000001000000001700E120FF00FF2AFF0010000000FF"
    "FFFFFF0100000001000000001700E120FF00FF2AFF0010000000FFFFFFFF01000000000000000000000001";

// Summary streams whose section does not hold what it declares are refused
// without a read past their end.
TEST(SummaryStreamTest, ASectionThatDoesNotHoldWhatItDeclaresIsRefused) {
  TransformSummary written;
  written.present = true;
  written.templateText = "Intel;1033";
  written.characterCount = 0x00020020;
  const std::string stream = WriteSummaryStream(written);
  // The section starts at 48 with its size and its count of properties.
  auto section = [&](uint32_t size, uint32_t count) {
    std::string bytes = stream.substr(0, 48);
    for (uint32_t value : {size, count}) {
      for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
  };
  const struct {
    const char* name;
    std::string bytes;
    bool read;
  } rows[] = {
      {"as written", stream, true},
      {"a section of no properties", section(8, 0), true},
      {"the fuzz target's finding: size 0, 2^24 properties", FromHex(kShortSectionFinding), false},
      {"a size that leaves out the section's own header", section(4, 0), false},
      {"more properties than the section holds", section(8, 1), false},
      {"a size past the end of the stream", section(9, 0), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TransformSummary summary;
    EXPECT_EQ(ReadSummaryStream(row.bytes, summary), row.read);
    EXPECT_EQ(summary.present, row.read);
    if (row.bytes == stream) {
      EXPECT_EQ(summary.templateText, written.templateText);
      EXPECT_EQ(summary.characterCount, written.characterCount);
    }
  }
}

}  // namespace
}  // namespace setup::msi
