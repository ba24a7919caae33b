#include "support/ini_storage.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fakes/fake_file_system.h"
#include "fakes/fake_system.h"

namespace setup {
namespace {

using testing::FakeFileSystem;
using testing::FakeTextCodec;
using Entries = std::map<std::string, std::string>;

const char kPath[] = "A:\\Files.id";

class RecordingSink : public IniStorageErrorSink {
 public:
  void Report(const std::string& key, const std::string& detail) override {
    reports.push_back(key + " | " + detail);
  }
  std::vector<std::string> reports;
};

// Every value the enumeration yields, keyed by its normalised key; fails
// the test when a key comes twice.
Entries Enumerate(IniStorage& store) {
  Entries entries;
  std::string value;
  store.BeginEnum();
  while (store.NextValue(value)) {
    std::string key = IniStorage::NormaliseKey(value);
    EXPECT_TRUE(entries.emplace(key, value).second) << "yielded twice: " << value;
  }
  return entries;
}

TEST(IniStorageTest, LineSyntax) {
  const std::string longLine(IniStorage::kMaxLineLength, 'a');
  struct Row {
    const char* name;
    std::string content;
    Entries expected;
  };
  const std::vector<Row> rows = {
      {"empty file", "", {}},
      {"two lines", "1,a.txt,10\n2,b.txt,20\n", {{"1", "1,a.txt,10"}, {"2", "2,b.txt,20"}}},
      {"last line without LF", "1,a\nx,1", {{"1", "1,a"}, {"X", "x,1"}}},
      {"keys differing in case", "a,1\nA,2\n", {{"A", "A,2"}}},
      {"no comma", "Files.id\n", {{"FILES.ID", "Files.id"}}},
      {"empty key", ",x\n", {{"", ",x"}}},
      {"blank-only line", "  \n", {{"  ", "  "}}},
      {"CR LF", "1,a\r\n2,b\r\n", {{"1", "1,a"}, {"2", "2,b"}}},
      {"lone CR stays", "1,a\rb\n", {{"1", "1,a\rb"}}},
      {"CR before CR LF", "k\r\r\n", {{"K\r", "k\r"}}},
      {"CR at the very end", "1,a\r", {{"1", "1,a\r"}}},
      {"empty lines skipped", "\n\n1,a\n\r\n\n", {{"1", "1,a"}}},
      {"0x1A ends the file",
       "1,a\n\x1A"
       "2,b\n",
       {{"1", "1,a"}}},
      {"0x1A inside a line",
       "1,ab\x1A"
       "cd\n2,x\n",
       {{"1", "1,ab"}}},
      {"CR before 0x1A", "1,a\r\x1A", {{"1", "1,a\r"}}},
      {"NUL ends the line's text",
       std::string("1,a\0b,c\n2,c\n", 12),
       {{"1", "1,a"}, {"2", "2,c"}}},
      {"line starting with NUL", std::string("\0abc\n3,x\n", 9), {{"3", "3,x"}}},
      {"value keeps its case", "ab,Cd,Ef\n", {{"AB", "ab,Cd,Ef"}}},
      {"longest line", longLine + "\n", {{std::string(longLine.size(), 'A'), longLine}}},
      {"longest line with CR LF",
       longLine + "\r\n1,x\n",
       {{std::string(longLine.size(), 'A'), longLine}, {"1", "1,x"}}},
      {"longer line is cut, nothing lost",
       longLine + "b,c\n",
       {{std::string(longLine.size(), 'A'), longLine}, {"B", "b,c"}}},
      {"cut right before the line end",
       longLine + "q",
       {{std::string(longLine.size(), 'A'), longLine}, {"Q", "q"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (std::size_t readLimit : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
      SCOPED_TRACE("read limit " + std::to_string(readLimit));
      FakeFileSystem files;
      files.AddFile(kPath, row.content);
      if (readLimit != 0) files.readLimit = readLimit;
      IniStorage store(files);
      store.SetFile(kPath);
      EXPECT_TRUE(store.Load(false));
      EXPECT_EQ(Enumerate(store), row.expected);
      EXPECT_EQ(store.Count(), row.expected.size());
    }
  }
}

// With a codec: UTF-8 after the byte-order mark, the ANSI code page
// without it, both into the program's form (UTF-8 on NT, ANSI on 9x).
TEST(IniStorageTest, TextFormsWithACodec) {
  const std::string mark = "\xEF\xBB\xBF";
  struct Row {
    const char* name;
    bool ansiProgram;
    std::string content;
    bool loads;
    Entries expected;
  };
  const std::vector<Row> rows = {
      {"UTF-8 after the mark, NT",
       false,
       mark + "1,Caf\u00E9.exe,5\r\n",
       true,
       {{"1", "1,Caf\u00E9.exe,5"}}},
      {"UTF-8 after the mark, 9x",
       true,
       mark + "1,Caf\u00E9.exe,5\r\n",
       true,
       {{"1", "1,Caf\xE9.exe,5"}}},
      {"ANSI without the mark, NT",
       false,
       "1,Caf\xE9.exe,5\r\n",
       true,
       {{"1", "1,Caf\u00E9.exe,5"}}},
      {"ANSI without the mark, 9x", true, "1,Caf\xE9.exe,5\r\n", true, {{"1", "1,Caf\xE9.exe,5"}}},
      {"a key outside ASCII", false, mark + "\u00E9,x\n", true, {{"\u00E9", "\u00E9,x"}}},
      {"the mark alone", false, mark, true, {}},
      {"the mark then an empty line", false, mark + "\r\n1,a\n", true, {{"1", "1,a"}}},
      {"a mark later on is text",
       false,
       mark + "1,a\n" + mark + "2,b\n",
       true,
       {{"1", "1,a"}, {mark + "2", mark + "2,b"}}},
      {"invalid UTF-8 after the mark stops the load",
       false,
       mark + "1,a\n2,Caf\xE9.exe,1\n3,c\n",
       false,
       {{"1", "1,a"}}},
      {"an overlong form after the mark", false, mark + "1,\xC0\xAF\n", false, {}},
      {"invalid UTF-8 on 9x too", true, mark + "1,\xED\xA0\x80\n", false, {}},
      {"a name the 9x code page lacks", true, mark + "1,\u041F\u0440\u043E\u0433\\a\n", false, {}},
      {"a byte the ANSI code page lacks, NT", false, "1,a\n2,\x81x\n", false, {{"1", "1,a"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeFileSystem files;
    files.AddFile(kPath, row.content);
    FakeTextCodec text;
    text.ansiProgram = row.ansiProgram;
    IniStorage store(files, &text);
    store.SetFile(kPath);
    EXPECT_EQ(store.Load(false), row.loads);
    EXPECT_EQ(store.TextRefused(), !row.loads);
    EXPECT_EQ(Enumerate(store), row.expected);
  }
  // Only the last load counts.
  FakeFileSystem files;
  files.AddFile("A:\\bad", mark + "1,\xE9\n");
  files.AddFile("A:\\good", "1,a\n");
  FakeTextCodec text;
  IniStorage store(files, &text);
  store.SetFile("A:\\bad");
  EXPECT_FALSE(store.Load(false));
  store.SetFile("A:\\good");
  EXPECT_TRUE(store.Load(false));
  EXPECT_FALSE(store.TextRefused());
}

TEST(IniStorageTest, NumberedModeKeysLinesInFileOrder) {
  FakeFileSystem files;
  files.AddFile(kPath, "b,1\na,2\n\nb,3");
  IniStorage store(files);
  store.SetFile(kPath);
  auto valueOf = [&store](std::string key) {
    std::string value = "none";
    store.Lookup(key, value);
    return value;
  };
  ASSERT_TRUE(store.Load(true));
  EXPECT_EQ(store.Count(), 3u);
  EXPECT_EQ(valueOf("1"), "b,1");
  EXPECT_EQ(valueOf("2"), "a,2");
  EXPECT_EQ(valueOf("3"), "b,3");
  // A second numbered load counts from 1 again and replaces those values.
  files.AddFile(kPath, "z\n");
  ASSERT_TRUE(store.Load(true));
  EXPECT_EQ(store.Count(), 3u);
  EXPECT_EQ(valueOf("1"), "z");
  EXPECT_EQ(valueOf("2"), "a,2");
}

TEST(IniStorageTest, LoadMergesIntoEntriesAlreadyPresent) {
  FakeFileSystem files;
  files.AddFile("A:\\one", "1,a\n2,b\n");
  files.AddFile("A:\\two", "2,B2\n3,c\n");
  IniStorage store(files);
  store.SetFile("A:\\one");
  ASSERT_TRUE(store.Load(false));
  store.SetFile("A:\\two");
  ASSERT_TRUE(store.Load(false));
  EXPECT_EQ(Enumerate(store), (Entries{{"1", "1,a"}, {"2", "2,B2"}, {"3", "3,c"}}));
}

TEST(IniStorageTest, FailuresKeepEntriesAndReachOnlyAnAttachedSwitchedOnSink) {
  FakeFileSystem files;
  files.AddFile("A:\\good", "1,a\n");
  files.AddFile("A:\\bad", "2,b\n");
  files.unreadable.insert("A:\\bad");
  IniStorage store(files);
  RecordingSink sink;
  store.SetFile("A:\\good");
  ASSERT_TRUE(store.Load(false));

  store.SetFile("A:\\missing");
  EXPECT_FALSE(store.Load(false));  // no sink attached: nothing to see
  store.AttachErrorSink(&sink);
  EXPECT_FALSE(store.Load(false));  // attached but switched off
  EXPECT_TRUE(sink.reports.empty());

  store.EnableErrorReports(true);
  EXPECT_FALSE(store.Load(false));
  store.SetFile("A:\\bad");
  EXPECT_FALSE(store.Load(false));
  EXPECT_EQ(sink.reports, (std::vector<std::string>{"ErrorOpenFile | File: A:\\missing",
                                                    "ErrorReadLine | File: A:\\bad ; Line: "}));
  EXPECT_EQ(Enumerate(store), (Entries{{"1", "1,a"}}));
}

TEST(IniStorageTest, AFileAnotherProgramIsReadingStillLoads) {
  FakeFileSystem files;
  files.AddFile(kPath, "1,a\n");
  files.heldByReader.insert(kPath);
  IniStorage store(files);
  store.SetFile(kPath);
  EXPECT_TRUE(store.Load(false));
  EXPECT_EQ(Enumerate(store), (Entries{{"1", "1,a"}}));
}

TEST(IniStorageTest, LookupNormalisesTheCallersKey) {
  FakeFileSystem files;
  files.AddFile(kPath, "2,b.txt,20\nabc,x\n");
  IniStorage store(files);
  store.SetFile(kPath);
  ASSERT_TRUE(store.Load(false));
  struct Row {
    std::string key;
    std::string normalised;
    bool found;
    std::string value;
  };
  for (const Row& row : std::vector<Row>{{"2,whatever", "2", true, "2,b.txt,20"},
                                         {"abc", "ABC", true, "abc,x"},
                                         {"aBc,1,2", "ABC", true, "abc,x"},
                                         {"02", "02", false, "untouched"},
                                         {" 2", " 2", false, "untouched"}}) {
    SCOPED_TRACE(row.key);
    std::string key = row.key;
    std::string value = "untouched";
    EXPECT_EQ(store.Lookup(key, value), row.found);
    EXPECT_EQ(key, row.normalised);
    EXPECT_EQ(value, row.value);
  }
}

TEST(IniStorageTest, EnumerationStatesAndClear) {
  FakeFileSystem files;
  std::string content;
  Entries expected;
  for (int i = 0; i < 200; ++i) {
    std::string line = "k" + std::to_string(i) + ",v";
    content += line + "\n";
    expected["K" + std::to_string(i)] = line;
  }
  files.AddFile(kPath, content);
  IniStorage store(files);
  std::string value = "untouched";
  EXPECT_FALSE(store.NextValue(value));  // no BeginEnum since construction
  store.BeginEnum();
  EXPECT_FALSE(store.NextValue(value));  // empty store
  EXPECT_EQ(value, "untouched");

  store.SetFile(kPath);
  ASSERT_TRUE(store.Load(false));
  EXPECT_FALSE(store.NextValue(value));  // loading does not start an enumeration
  EXPECT_EQ(Enumerate(store), expected);

  store.BeginEnum();
  ASSERT_TRUE(store.NextValue(value));
  store.Clear();
  EXPECT_FALSE(store.NextValue(value));
  EXPECT_EQ(store.Count(), 0u);
  // Still usable after Clear.
  ASSERT_TRUE(store.Load(false));
  EXPECT_EQ(store.Count(), 200u);
}

}  // namespace
}  // namespace setup
