#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/crc32.h"
#include "tools/common/posix_file_system.h"
#include "tools/mkdiskset/disk_set_author.h"
#include "tools/mkmst/run_mkmst.h"

namespace setup::tools {
namespace {

namespace fs = std::filesystem;

std::string Pattern(std::size_t size, unsigned seed) {
  std::string data(size, '\0');
  uint32_t state = seed * 2654435761u + 7;
  for (char& c : data) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  return data;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAll(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(data.data(), static_cast<std::streamsize>(data.size()));
}

struct PlainEntry {
  std::string path;
  long size;
  bool operator==(const PlainEntry& o) const { return path == o.path && size == o.size; }
};

// Files.id as the plain format reads it, written anew here: each line keyed
// by its text before the first comma, upper-cased, a later line winning;
// the entries 1, 2, 3 ... up to the first number without a line; field 2
// as it is, field 3 through atoi. Also what a cleanup that visits every
// line would delete or remove for the lines outside that run: the paths it
// finds in their second fields.
std::vector<PlainEntry> ReadPlainly(std::string text, std::vector<std::string>& outsideRun) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  std::map<std::string, std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::string key = line.substr(0, line.find(','));
    for (char& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    lines[key] = line;
  }
  std::vector<PlainEntry> entries;
  for (int i = 1; lines.count(std::to_string(i)) != 0; ++i) {
    const std::string line = lines[std::to_string(i)];
    lines.erase(std::to_string(i));
    const std::size_t first = line.find(','), second = line.find(',', first + 1);
    entries.push_back(
        {line.substr(first + 1, second - first - 1), atol(line.c_str() + second + 1)});
  }
  for (const auto& [key, line] : lines) {
    const std::size_t first = line.find(',');
    const std::size_t second = first == std::string::npos ? first : line.find(',', first + 1);
    const std::string field2 =
        first == std::string::npos ? "" : line.substr(first + 1, second - first - 1);
    if (!field2.empty()) outsideRun.push_back(field2);
  }
  return entries;
}

std::string Hex8(uint32_t value) {
  char text[9];
  snprintf(text, sizeof text, "%08X", value);
  return text;
}

// Files.id less the volumes' digest lines: a set as other tools make it.
void DropDigests(const fs::path& manifest) {
  std::istringstream in(ReadAll(manifest));
  std::string kept;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Disk.", 0) != 0) kept += line + "\n";
  }
  WriteAll(manifest, kept);
}

class MkdisksetTest : public ::testing::Test {
 protected:
  MkdisksetTest() {
    std::string pattern = (fs::temp_directory_path() / "mkdiskset-test-XXXXXX").string();
    root = mkdtemp(pattern.data());
    medium = root / "medium";
    out = root / "out";
  }
  ~MkdisksetTest() override {
    std::error_code ignored;
    fs::permissions(root, fs::perms::all, ignored);
    fs::remove_all(root, ignored);
  }

  int Run(const std::vector<std::string>& arguments) {
    output.str("");
    errors.str("");
    return RunMkdiskset(arguments, output, errors);
  }
  void MakeMedium(const std::map<std::string, std::string>& files) {
    WriteAll(medium / "SETUP.EXE", Pattern(3000, 99));
    for (const auto& [name, data] : files) WriteAll(medium / name, data);
  }
  // Whatever lies in root besides the medium.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root)) {
      if (entry.path() != medium) names.push_back(entry.path().filename().string());
    }
    return names;
  }

  fs::path root, medium, out;
  std::ostringstream output, errors;
};

// Each row: a tool's command line; where its answer goes and how it ends.
TEST(ToolCommandLineTest, HelpAndVersionAnswerOnStandardOutputUsageErrorsOnTheErrorStream) {
  using Tool = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);
  const struct {
    Tool tool;
    std::vector<std::string> arguments;
    int code;
    bool onOut;
    const char* text;
  } rows[] = {
      {RunMkdiskset, {"--help"}, 0, true, "usage: mkdiskset split MEDIUM OUT"},
      {RunMkdiskset, {"-h"}, 0, true, "       mkdiskset check MEDIUM|DISKS [--json]\n"},
      {RunMkdiskset, {"help"}, 0, true, "mkdiskset COMMAND --help describes a command"},
      {RunMkdiskset, {"split", "--help"}, 0, true, "  --images       also OUT/diskN.img"},
      {RunMkdiskset, {"split", "a", "b", "--help"}, 0, true, "Cuts the medium folder"},
      {RunMkdiskset, {"verify", "--help"}, 0, true, "usage: mkdiskset verify DISKS MEDIUM\nAss"},
      {RunMkdiskset, {"assemble", "-h"}, 0, true, "into NEWFOLDER, which must not\nexist"},
      {RunMkdiskset, {"check", "--help"}, 0, true, "  --json  the same report as JSON"},
      {RunMkdiskset, {"--version"}, 0, true, "mkdiskset " SETUP_TOOLS_VERSION "\n"},
      {RunMkdiskset, {}, 2, false, "usage: mkdiskset split"},
      {RunMkdiskset, {"frobnicate"}, 2, false, "mkdiskset: unknown command frobnicate"},
      {RunMkdiskset,
       {"split", "a"},
       2,
       false,
       "mkdiskset: too few arguments for split\nusage: mkdiskset split MEDIUM OUT"},
      {RunMkdiskset, {"check", "a", "b"}, 2, false, "too many arguments for check"},
      {RunMkdiskset, {"verify", "a", "b", "--json"}, 2, false, "unknown option --json"},
      {setup::tools::RunMkmst, {"--help"}, 0, true, "usage: mkmst BASE.msi LOCALIZED.msi OUT.mst"},
      {setup::tools::RunMkmst, {"a", "--help"}, 0, true, "  --codepage PACKAGE.msi  prints"},
      {setup::tools::RunMkmst, {"--version"}, 0, true, "mkmst " SETUP_TOOLS_VERSION "\n"},
      {setup::tools::RunMkmst, {"a", "b"}, 2, false, "usage: mkmst"},
      {setup::tools::RunMkmst, {"--codepage"}, 2, false, "mkmst --codepage PACKAGE.msi"},
      {setup::tools::RunMkmst, {"a", "-b", "c"}, 2, false, "mkmst: unknown option -b"},
  };
  for (const auto& row : rows) {
    std::string line;
    for (const std::string& argument : row.arguments) line += argument + " ";
    SCOPED_TRACE(line);
    std::ostringstream out, err;
    EXPECT_EQ(row.tool(row.arguments, out, err), row.code);
    EXPECT_NE((row.onOut ? out : err).str().find(row.text), std::string::npos)
        << out.str() << err.str();
    EXPECT_EQ((row.onOut ? err : out).str(), "");
  }
}

TEST_F(MkdisksetTest, SplitThenVerifyRoundTrips) {
  struct Row {
    const char* name;
    std::map<std::string, std::string> files;
    std::vector<std::string> options;
    int disks;
    const char* outSuffix = "";
    bool marked = false;  // Files.id begins with the UTF-8 byte-order mark
  };
  const std::vector<Row> rows = {
      {"a file larger than three disks",
       {{"Setup.msi", Pattern(3 * 1457664 + 1000, 1)}, {"0007_l.mst", Pattern(10, 2)}},
       {},
       4},
      {"an empty file and nested folders",
       {{"Setup.msi", Pattern(5000, 3)},
        {"empty.txt", ""},
        {"Bootstrap/Msi/WinNT/update.exe", Pattern(2000, 4)},
        {"Bootstrap/a.exe", Pattern(513, 5)}},
       {"--disk-size", "4096"},
       // Disk 1 offers 4096 - 3072 (SETUP.EXE) - 512 (Files.id) = 512 bytes.
       3},
      {"flat layout", {{"Setup.msi", Pattern(9000, 6)}}, {"--flat", "--disk-size", "5000"}, 3},
      // Twenty digest lines take Files.id past one cluster, which takes room
      // from disk 1, which takes another disk.
      {"digest lines that need a second cluster",
       {{"Setup.msi", Pattern(80000, 13)}},
       {"--disk-size", "4608"},
       19},
      {"OUT given with a trailing slash", {{"Setup.msi", Pattern(10, 6)}}, {}, 1, "/"},
      {"nothing but SETUP.EXE and a one-byte package", {{"Setup.msi", "m"}}, {}, 1},
      {"names outside ASCII",
       {{"Setup.msi", Pattern(10, 6)},
        {"Bootstrap/Caf\u00E9.exe", Pattern(700, 7)},
        {"\u8868\u30BD/\u041F\u0440\u043E.txt", "x"}},
       {"--flat"},
       1,
       "",
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(medium);
    fs::remove_all(out);
    MakeMedium(row.files);
    std::vector<std::string> split = {"split", medium.string(), out.string() + row.outSuffix};
    split.insert(split.end(), row.options.begin(), row.options.end());
    ASSERT_EQ(Run(split), 0) << errors.str();
    ASSERT_EQ(Run({"verify", out.string(), medium.string()}), 0) << output.str() << errors.str();
    EXPECT_NE(output.str().find("identical"), std::string::npos);

    bool flat = row.options.size() > 0 && row.options[0] == "--flat";
    int disks = 0;
    while (fs::exists(flat ? out / ("Disk." + std::to_string(disks + 1))
                           : out / ("disk" + std::to_string(disks + 1)))) {
      ++disks;
    }
    EXPECT_EQ(disks, row.disks);
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"out"});
    if (!flat) {
      // Disk 1 holds SETUP.EXE, Files.id and its volume, in whole clusters.
      uintmax_t used = 0;
      for (const char* name : {"SETUP.EXE", "Files.id", "Disk.1"})
        used += (fs::file_size(out / "disk1" / name) + 511) / 512 * 512;
      const auto at = std::find(row.options.begin(), row.options.end(), "--disk-size");
      EXPECT_LE(used, at == row.options.end() ? 1457664u : std::stoull(*(at + 1)));
    }
    const fs::path manifestPath = flat ? out / "Files.id" : out / "disk1" / "Files.id";
    const std::string manifest = ReadAll(manifestPath);
    EXPECT_EQ(manifest.rfind("\xEF\xBB\xBF", 0) == 0, row.marked);

    // A reader of the plain format gets the medium's files and sizes, and
    // nothing to delete or remove from the digest lines.
    std::vector<PlainEntry> expected;
    for (const auto& [name, data] : row.files) {
      std::string relative = name;
      std::replace(relative.begin(), relative.end(), '/', '\\');
      expected.push_back({relative, static_cast<long>(data.size())});
    }
    std::sort(expected.begin(), expected.end(),
              [](const PlainEntry& a, const PlainEntry& b) { return a.path < b.path; });
    std::vector<std::string> outsideRun;
    EXPECT_EQ(ReadPlainly(manifest, outsideRun), expected);
    EXPECT_TRUE(outsideRun.empty());
    // Without its digest lines the set is still the medium.
    DropDigests(manifestPath);
    EXPECT_EQ(Run({"verify", out.string(), medium.string()}), 0) << output.str() << errors.str();
  }
}

TEST_F(MkdisksetTest, ManifestAndVolumesFollowTheMediumExactly) {
  const std::string msi = Pattern(4000, 7), mst = Pattern(600, 8);
  MakeMedium({{"b/Product.msi", msi}, {"a.mst", mst}, {"b/empty", ""}, {"setup.MSI", "m"}});
  struct Row {
    const char* diskSize;
    std::vector<std::size_t> volumes;
  };
  // SETUP.EXE takes 3,072 bytes of disk 1 and Files.id 512, in whole
  // clusters; a disk size is used in whole clusters too.
  for (const Row& row : std::vector<Row>{{"4608", {1024, 3577}}, {"4607", {512, 4089}}}) {
    SCOPED_TRACE(row.diskSize);
    fs::remove_all(out);
    ASSERT_EQ(Run({"split", medium.string(), out.string(), "--disk-size", row.diskSize}), 0)
        << errors.str();
    EXPECT_TRUE(ReadAll(out / "disk1" / "SETUP.EXE") == Pattern(3000, 99));
    EXPECT_NE(errors.str().find("warning: b\\empty is empty"), std::string::npos);
    std::string joined;
    std::string digests;
    std::vector<std::size_t> sizes;
    for (int disk = 1; fs::exists(out / ("disk" + std::to_string(disk))); ++disk) {
      std::string name = "Disk." + std::to_string(disk);
      std::string volume = ReadAll(out / ("disk" + std::to_string(disk)) / name);
      sizes.push_back(volume.size());
      joined += volume;
      digests += name + ",," + std::to_string(volume.size()) + "," +
                 Hex8(Crc32(0, volume.data(), volume.size())) + "," +
                 Hex8(Crc32(0, volume.data(), std::min<std::size_t>(volume.size(), 512))) + "\r\n";
    }
    EXPECT_EQ(sizes, row.volumes);
    EXPECT_TRUE(joined == mst + msi + "m");
    EXPECT_EQ(
        ReadAll(out / "disk1" / "Files.id"),
        "1,a.mst,600\r\n2,b\\Product.msi,4000\r\n3,b\\empty,0\r\n4,setup.MSI,1\r\n" + digests);
  }
}

TEST_F(MkdisksetTest, VerifyFindsDifferences) {
  MakeMedium({{"Setup.msi", Pattern(9000, 9)}, {"x.txt", "x"}});
  ASSERT_EQ(Run({"split", medium.string(), out.string(), "--disk-size", "5120"}), 0);

  std::string package = Pattern(9000, 9);
  package[5000] = static_cast<char>(package[5000] ^ 1);
  WriteAll(medium / "Setup.msi", package);
  EXPECT_EQ(Run({"verify", out.string(), medium.string()}), 1);
  EXPECT_NE(output.str().find("differs: Setup.msi from byte 5000"), std::string::npos)
      << output.str();
  WriteAll(medium / "Setup.msi", Pattern(9000, 9));

  fs::rename(out / "disk2", root / "away");
  EXPECT_EQ(Run({"verify", out.string(), medium.string()}), 1);
  EXPECT_NE(errors.str().find("disk 2 is missing"), std::string::npos) << errors.str();
  fs::rename(root / "away", out / "disk2");

  WriteAll(medium / "new.txt", "added after the split");
  EXPECT_EQ(Run({"verify", out.string(), medium.string()}), 1);
  EXPECT_NE(output.str().find("new.txt is missing from the set"), std::string::npos);

  WriteAll(out / "disk1" / "Files.id",
           "\xEF\xBB\xBF"
           "1,Setup.msi,9000\r\n2,x\xE9.txt,1\r\n");
  EXPECT_EQ(Run({"verify", out.string(), medium.string()}), 1);
  EXPECT_NE(errors.str().find("not valid UTF-8 after its byte-order mark"), std::string::npos)
      << errors.str();
}

// verify and assemble take each disk as SETUP.EXE would and name the one it
// would ask for again.
TEST_F(MkdisksetTest, VerifyNamesTheDiskSetupWouldRefuse) {
  MakeMedium({{"Setup.msi", Pattern(12000, 12)}});
  struct Row {
    const char* name;
    std::function<void(std::string& disk2)> spoil;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"a byte changed after the first block",
       [](std::string& v) { v[600] = static_cast<char>(~v[600]); },
       "disk 2 does not match its digest in Files.id: SETUP.EXE would refuse it as damaged"},
      {"a byte changed in the first block",
       [](std::string& v) { v[511] = static_cast<char>(~v[511]); },
       "disk 2 is not the disk 2 that Files.id describes"},
      {"one byte longer", [](std::string& v) { v += '!'; },
       "disk 2 is not the disk 2 that Files.id describes"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(out);
    ASSERT_EQ(Run({"split", medium.string(), out.string(), "--disk-size", "5120"}), 0);
    std::string volume = ReadAll(out / "disk2" / "Disk.2");
    row.spoil(volume);
    WriteAll(out / "disk2" / "Disk.2", volume);
    EXPECT_EQ(Run({"verify", out.string(), medium.string()}), 1);
    EXPECT_NE(errors.str().find(row.message), std::string::npos) << errors.str();
    fs::remove_all(root / "assembled");
    EXPECT_EQ(Run({"assemble", out.string(), (root / "assembled").string()}), 1);
    EXPECT_NE(errors.str().find(row.message), std::string::npos) << errors.str();
  }
}

TEST(PosixFileSystem, TruncateCutsAFileBackAndNothingElse) {
  std::string pattern = (fs::temp_directory_path() / "truncate-XXXXXX").string();
  const fs::path root = mkdtemp(pattern.data());
  const std::string path = (root / "data.bin").string();
  WriteAll(path, "hello world");
  PosixFileSystem files;
  EXPECT_TRUE(files.Truncate(path, 5));
  EXPECT_EQ(ReadAll(path), "hello");
  EXPECT_FALSE(files.Truncate(path, 6));
  EXPECT_EQ(ReadAll(path), "hello");
  EXPECT_TRUE(files.Truncate(path, 0));
  EXPECT_EQ(ReadAll(path), "");
  EXPECT_FALSE(files.Truncate((root / "missing.bin").string(), 0));
  EXPECT_FALSE(fs::exists(root / "missing.bin"));
  EXPECT_FALSE(files.Truncate(root.string(), 0));
  fs::remove_all(root);
}

TEST_F(MkdisksetTest, BadInputIsRefusedAndNothingIsWritten) {
  struct Row {
    const char* name;
    std::function<void(const fs::path& medium)> prepare;
    std::vector<std::string> options;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"a comma in a name",
       [](const fs::path& medium) { WriteAll(medium / "a,b.txt", "x"); },
       {},
       "holds ','"},
      {"a backslash in a name",
       [](const fs::path& medium) { WriteAll(medium / "a\\b.txt", "x"); },
       {},
       "holds '\\'"},
      {"a colon in a name",
       [](const fs::path& medium) { WriteAll(medium / "sub/a:b", "x"); },
       {},
       "holds ':'"},
      {"a name that is not UTF-8",
       [](const fs::path& medium) { WriteAll(medium / "sub/caf\xE9.txt", "x"); },
       {},
       "is not UTF-8"},
      {"no SETUP.EXE",
       [](const fs::path& medium) { fs::remove(medium / "SETUP.EXE"); },
       {},
       "holds no SETUP.EXE"},
      {"already a disk set",
       [](const fs::path& medium) { WriteAll(medium / "Files.id", ""); },
       {},
       "already holds Files.id"},
      {"a volume name",
       [](const fs::path& medium) { WriteAll(medium / "disk.12", ""); },
       {},
       "already holds disk.12"},
      {"disk too small for disk 1",
       [](const fs::path&) {},
       {"--disk-size", "4095"},
       "disk 1 needs at least 4096 bytes"},
      {"2^31 bytes",
       [](const fs::path& medium) {
         std::ofstream(medium / "huge.bin").close();
         fs::resize_file(medium / "huge.bin", (uintmax_t{1} << 31) - 6);  // sparse
       },
       {},
       "2^31 bytes or more"},
      {"images of a larger disk",
       [](const fs::path&) {},
       {"--images", "--disk-size", "1457665"},
       "--images needs a disk size"},
      {"a bad disk size", [](const fs::path&) {}, {"--disk-size", "12k"}, "positive number"},
      {"an unknown option", [](const fs::path&) {}, {"--fast"}, "unknown option --fast"},
      // What the floppy route cannot install.
      {"no Setup.msi at the top",
       [](const fs::path& medium) { fs::rename(medium / "Setup.msi", medium / "sub/Setup.msi"); },
       {},
       "holds no Setup.msi at its top"},
      {"a flat set without Setup.msi",
       [](const fs::path& medium) { fs::rename(medium / "Setup.msi", medium / "Product.msi"); },
       {"--flat"},
       "name the package Setup.msi"},
      {"an empty Setup.msi",
       [](const fs::path& medium) { WriteAll(medium / "Setup.msi", ""); },
       {},
       "creates no file of size 0"},
      {"a device name with an extension",
       [](const fs::path& medium) { WriteAll(medium / "sub/nul.txt", "x"); },
       {},
       "sub\\nul.txt names a device"},
      {"a device folder in a flat set",
       [](const fs::path& medium) { WriteAll(medium / "Com3/a.txt", "x"); },
       {"--flat"},
       "Com3\\a.txt names a device"},
      {"a name FAT cannot hold",
       [](const fs::path& medium) { WriteAll(medium / "sub/what?.txt", "x"); },
       {"--images"},
       "holds '?', which a FAT floppy cannot hold"},
      {"a folder name with a trailing dot",
       [](const fs::path& medium) { WriteAll(medium / "dir./a.txt", "x"); },
       {"--images"},
       "dir.\\a.txt ends in a dot or blank"},
      {"an unreadable file",
       [](const fs::path& medium) {
         WriteAll(medium / "secret.bin", "x");
         fs::permissions(medium / "secret.bin", fs::perms::none);
       },
       {},
       "cannot read"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (std::string(row.name) == "an unreadable file" && geteuid() == 0)
      continue;  // root reads all
    fs::remove_all(medium);
    MakeMedium({{"Setup.msi", Pattern(100, 10)}, {"sub/a.txt", "a"}});
    row.prepare(medium);
    std::vector<std::string> split = {"split", medium.string(), out.string()};
    split.insert(split.end(), row.options.begin(), row.options.end());
    EXPECT_EQ(Run(split), 2);
    EXPECT_NE(errors.str().find(row.message), std::string::npos) << errors.str();
    EXPECT_TRUE(Leftovers().empty());
  }
}

TEST_F(MkdisksetTest, AnExistingSetIsNeverOverwritten) {
  MakeMedium({{"Setup.msi", "m"}});
  WriteAll(out / "keep.txt", "mine");
  EXPECT_EQ(Run({"split", medium.string(), out.string()}), 2);
  EXPECT_EQ(ReadAll(out / "keep.txt"), "mine");
  EXPECT_EQ(Run({"verify", root.string(), medium.string()}), 1);
  EXPECT_NE(errors.str().find("holds no Files.id"), std::string::npos);
  EXPECT_EQ(Run({"split", medium.string(), (medium / "set").string()}), 2);
  EXPECT_NE(errors.str().find("lies inside the medium"), std::string::npos);
  EXPECT_FALSE(fs::exists(medium / "set"));
  EXPECT_EQ(Run({}), 2);
  EXPECT_EQ(Run({"split", medium.string()}), 2);
}

TEST_F(MkdisksetTest, ImagesAreFloppiesHoldingTheDisks) {
  if (system("command -v mformat >/dev/null 2>&1") != 0) GTEST_SKIP() << "mtools not installed";
  MakeMedium({{"Setup.msi", Pattern(2000000, 11)}});
  ASSERT_EQ(Run({"split", medium.string(), out.string(), "--images"}), 0) << errors.str();
  for (int disk : {1, 2}) {
    SCOPED_TRACE(disk);
    fs::path image = out / ("disk" + std::to_string(disk) + ".img");
    EXPECT_EQ(fs::file_size(image), 1474560u);
    fs::path back = root / "back";
    std::string volume = "Disk." + std::to_string(disk);
    std::string command =
        "mcopy -n -i '" + image.string() + "' ::" + volume + " '" + back.string() + "'";
    ASSERT_EQ(system(command.c_str()), 0);
    EXPECT_TRUE(ReadAll(back) == ReadAll(out / ("disk" + std::to_string(disk)) / volume));
    fs::remove(back);
  }
  // Disk 1's manifest, with the volumes' digests.
  const fs::path back = root / "Files.id";
  const std::string command =
      "mcopy -n -i '" + (out / "disk1.img").string() + "' ::Files.id '" + back.string() + "'";
  ASSERT_EQ(system(command.c_str()), 0);
  EXPECT_EQ(ReadAll(back), ReadAll(out / "disk1" / "Files.id"));
  EXPECT_NE(ReadAll(back).find("\r\nDisk.2,,"), std::string::npos);
}

}  // namespace
}  // namespace setup::tools
