#include "floppy/disk_set_copier.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "fakes/fake_file_system.h"
#include "fakes/fake_system.h"
#include "fakes/fake_ui.h"
#include "support/crc32.h"

namespace setup {
namespace {

using testing::CatalogueStrings;
using testing::FakeFileSystem;
using testing::FakeTextCodec;
using testing::RecordingMessageBoxes;

const char* FaultName(DiskFault fault) {
  switch (fault) {
    case DiskFault::WrongDisk:
      return "wrong";
    case DiskFault::ReadError:
      return "unreadable";
    case DiskFault::DigestMismatch:
      return "damaged";
  }
  return "?";
}

const char kSource[] = "A:\\";
const char kTarget[] = "C:\\Temp\\ST000001\\";

// Distinct bytes, so a piece taken from the wrong offset shows.
std::string Bytes(std::size_t count, unsigned seed) {
  std::string data(count, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (char& c : data) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  return data;
}

// Compares bytes and names the first difference instead of printing both.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                       << ", first difference at byte " << at;
}

class DiskSetCopierTest : public ::testing::Test {
 protected:
  DiskSetCopierTest() {
    files.AddFolder(kTarget);
    state.sourceDir = kSource;
    state.targetDir = kTarget;
  }

  // An empty disk world for the next row of a table.
  void ResetFiles() {
    files = FakeFileSystem();
    files.AddFolder(kTarget);
  }
  void SetManifest(const std::string& text) {
    files.AddFile(std::string(kSource) + "Files.id", text);
  }
  // Cuts stream into volumes of the given lengths.
  void SetVolumes(const std::string& stream, const std::vector<std::size_t>& lengths) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
      files.AddFile(Volume(static_cast<int>(i + 1)),
                    stream.substr(std::min(at, stream.size()), lengths[i]));
      at += lengths[i];
    }
  }
  static std::string Volume(int n) { return std::string(kSource) + "Disk." + std::to_string(n); }
  std::string Target(const std::string& relative) const {
    return files.Content(kTarget + relative).value_or("<none>");
  }
  // Records every prompt and answers with answer (true by default).
  void RecordPrompts(DiskSetCopier& copier) {
    copier.SetPromptCallback([this](int disk, bool missing) {
      log.push_back((missing ? "missing " : "found ") + std::to_string(disk));
      return promptAnswer(disk, missing);
    });
  }
  void RecordProgress(DiskSetCopier& copier) {
    copier.SetTotalProgressCallback([this](int range, int position) {
      log.push_back("total " + std::to_string(range) + " " + std::to_string(position));
      return true;
    });
    copier.SetDiskProgressCallback([this](int range, int position) {
      log.push_back("disk " + std::to_string(range) + " " + std::to_string(position));
      return true;
    });
  }

  FakeFileSystem files;
  RecordingMessageBoxes boxes;
  CatalogueStrings catalogue;
  Messages messages{catalogue, boxes};
  FakeTextCodec text;
  CopyEngineState state{files, messages, text};
  std::vector<std::string> log;
  std::function<bool(int, bool)> promptAnswer = [](int, bool) { return true; };
};

TEST_F(DiskSetCopierTest, FilesSpanningThreeVolumesAreJoinedByteForByte) {
  // 150,000 + 50,000 + 7 bytes over volumes of 70,000, with 9 bytes left
  // over at the end of the last one.
  const std::string a = Bytes(150000, 1), b = Bytes(50000, 2), c = Bytes(7, 3);
  SetManifest("2,sub\\deeper\\b.bin,50000\r\n1,a.bin,150000\r\n3,c.txt,7\r\n");
  SetVolumes(a + b + c + "leftover!", {70000, 70000, 70000});
  DiskSetCopier copier(state);
  RecordPrompts(copier);

  ASSERT_TRUE(copier.Start());
  EXPECT_TRUE(SameBytes(Target("a.bin"), a));
  EXPECT_TRUE(SameBytes(Target("sub\\deeper\\b.bin"), b));
  EXPECT_TRUE(SameBytes(Target("c.txt"), c));
  EXPECT_EQ(log, (std::vector<std::string>{"found 1", "found 2", "found 3"}));
  EXPECT_EQ(state.totalSize, 200007);
  EXPECT_EQ(state.totalCopied, 200007);
  EXPECT_EQ(state.diskNumber, 3);
  EXPECT_EQ(state.volumeOffset + state.volumeRemaining, state.volumeSize);
  EXPECT_TRUE(boxes.Shown().empty());
}

// Both forms of the manifest name the same file, in the program's form.
TEST_F(DiskSetCopierTest, TheManifestsTwoFormsNameTheSameFile) {
  struct Row {
    const char* name;
    std::string manifest;
    bool ansiProgram;
    std::string created;
  };
  const std::string utf8 =
      "\xEF\xBB\xBF"
      "1,Bootstrap\\Caf\u00E9.exe,3\r\n";
  const std::string ansi = "1,Bootstrap\\Caf\xE9.exe,3\r\n";
  const std::vector<Row> rows = {
      {"UTF-8, NT", utf8, false, "Bootstrap\\Caf\u00E9.exe"},
      {"UTF-8, 9x", utf8, true, "Bootstrap\\Caf\xE9.exe"},
      {"ANSI, NT", ansi, false, "Bootstrap\\Caf\u00E9.exe"},
      {"ANSI, 9x", ansi, true, "Bootstrap\\Caf\xE9.exe"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ResetFiles();
    state.manifest.Clear();
    text.ansiProgram = row.ansiProgram;
    SetManifest(row.manifest);
    SetVolumes("MZ!", {3});
    DiskSetCopier copier(state);
    ASSERT_TRUE(copier.Start());
    EXPECT_EQ(Target(row.created), "MZ!");
    EXPECT_EQ(files.List(std::string(kTarget) + "Bootstrap").size(), 1u);
  }
}

TEST_F(DiskSetCopierTest, NextDiskIsAskedForOnlyByAFileOfPositiveSize) {
  struct Row {
    const char* manifest;
    std::vector<std::string> prompts;
  };
  const std::vector<Row> rows = {
      {"1,a,10\n", {"found 1"}},
      {"1,a,10\n2,z,0\n3,n,-5\n", {"found 1"}},
      {"1,a,10\n2,z,0\n3,b,4\n", {"found 1", "missing 2", "found 2"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.manifest);
    ResetFiles();
    SetManifest(row.manifest);
    SetVolumes(Bytes(14, 4), {10, 4});
    files.unavailable.insert(Volume(2));
    promptAnswer = [this](int disk, bool missing) {
      if (missing) files.unavailable.erase(Volume(disk));  // the user inserts the disk
      return true;
    };
    log.clear();
    DiskSetCopier copier(state);
    RecordPrompts(copier);
    EXPECT_TRUE(copier.Start());
    EXPECT_EQ(log, row.prompts);
    EXPECT_TRUE(SameBytes(Target("a"), Bytes(14, 4).substr(0, 10)));
  }
}

TEST_F(DiskSetCopierTest, ZeroLengthVolumesAreConsumedWithoutBytes) {
  const std::string data = Bytes(9, 5);
  SetManifest("1,a,9\n");
  SetVolumes(data, {4, 0, 0, 5});
  DiskSetCopier copier(state);
  RecordPrompts(copier);
  ASSERT_TRUE(copier.Start());
  EXPECT_TRUE(SameBytes(Target("a"), data));
  EXPECT_EQ(log, (std::vector<std::string>{"found 1", "found 2", "found 3", "found 4"}));
}

TEST_F(DiskSetCopierTest, SizesOfZeroOrLessDeleteAndCreateNothing) {
  SetManifest(
      "1,zero.txt,0\n2,negative.txt,-7\n3,word.txt,x12\n4,twofields\n5,blank.txt, 3 bytes\n");
  SetVolumes("xyz", {3});
  files.AddFile(std::string(kTarget) + "zero.txt", "old");
  files.AddFile(std::string(kTarget) + "negative.txt", "old");
  DiskSetCopier copier(state);
  RecordPrompts(copier);
  ASSERT_TRUE(copier.Start());
  EXPECT_FALSE(files.Exists(std::string(kTarget) + "zero.txt"));
  EXPECT_FALSE(files.Exists(std::string(kTarget) + "negative.txt"));
  EXPECT_FALSE(files.Exists(std::string(kTarget) + "word.txt"));
  EXPECT_EQ(Target("blank.txt"), "xyz");
  EXPECT_EQ(state.totalSize, -4);  // 0 - 7 + 0 + 0 + 3
  EXPECT_EQ(log, (std::vector<std::string>{"found 1"}));
}

TEST_F(DiskSetCopierTest, TotalSizeFollowsTheUnbrokenRunOfNumbers) {
  struct Row {
    const char* manifest;
    int64_t total;
  };
  for (const Row& row : std::vector<Row>{{"1,a,10\n2,b,20\n", 30},
                                         {"1,a,10\n2,b,20\n4,c,5\n", 30},
                                         {"01,a,10\n1,b,3\n", 3},
                                         {"01,a,10\n", 0},
                                         {"1,a,10\n1,b,7\n", 7},
                                         {"1,a, 1200 bytes\n", 1200},
                                         {"1,a,-4\n2,b,10\n", 6},
                                         {"1,a\n2,b,5\n", 5},
                                         {"1,a,3000000000\n2,b,1\n", 3000000001},
                                         {"", 0}}) {
    SCOPED_TRACE(row.manifest);
    IniStorage& manifest = state.manifest;
    manifest.Clear();
    SetManifest(row.manifest);
    manifest.SetFile(std::string(kSource) + "Files.id");
    ASSERT_TRUE(manifest.Load(false));
    EXPECT_EQ(DiskSetCopier(state).TotalSize(), row.total);
  }
}

TEST_F(DiskSetCopierTest, OnlyTheRunFromOneIsCopiedAndTheLaterLineWins) {
  SetManifest("01,zero.txt,2\n1,one.txt,3\n2,two.txt,2\n2,twice.txt,4\n4,four\\f.txt,2\n");
  const std::string data = Bytes(9, 6);
  SetVolumes(data, {9});
  files.AddFolder(std::string(kTarget) + "four");
  DiskSetCopier copier(state);
  ASSERT_TRUE(copier.Start());
  EXPECT_TRUE(SameBytes(Target("one.txt"), data.substr(0, 3)));
  EXPECT_TRUE(SameBytes(Target("twice.txt"), data.substr(3, 4)));
  EXPECT_FALSE(files.Exists(std::string(kTarget) + "two.txt"));
  EXPECT_FALSE(files.Exists(std::string(kTarget) + "zero.txt"));
  EXPECT_FALSE(files.Exists(std::string(kTarget) + "four\\f.txt"));
  EXPECT_EQ(state.totalSize, 7);

  // Entry 4 is outside the run, yet its folder goes.
  files.RemoveFile(std::string(kTarget) + "one.txt");
  files.RemoveFile(std::string(kTarget) + "twice.txt");
  copier.RemoveCreatedFolders();
  EXPECT_FALSE(files.Exists(std::string(kTarget) + "four"));
}

// The disk-fault table: a set of three volumes of 1000, 1000 and 600
// bytes (the last with 100 bytes no file uses) carrying a (1500 bytes: disk
// 1 and half of disk 2), b (300 bytes inside disk 2) and c (700 bytes: the
// end of disk 2 and disk 3), with or without the volumes' digests. Each
// fault prompt is logged with what the files then hold.
class DiskFaultTest : public DiskSetCopierTest {
 protected:
  DiskFaultTest() : stream(Bytes(2600, 21)) {
    for (std::size_t at : {0u, 1000u, 2000u}) good.push_back(stream.substr(at, 1000));
  }

  void MakeSet(bool digests) {
    std::string manifest = "1,a,1500\r\n2,sub\\b,300\r\n3,c,700\r\n";
    for (std::size_t i = 0; digests && i < good.size(); ++i) {
      const std::string& v = good[i];
      VolumeDigest digest{static_cast<int64_t>(v.size()), Crc32(0, v.data(), v.size()),
                          Crc32(0, v.data(), std::min<std::size_t>(v.size(), kFirstBlockSize))};
      manifest += FormatDigestLine(static_cast<int32_t>(i + 1), digest) + "\r\n";
    }
    SetManifest(manifest);
    for (std::size_t i = 0; i < good.size(); ++i) {
      files.AddFile(Volume(static_cast<int>(i + 1)), good[i]);
    }
  }
  // Disk n as it is in the set, with byte at inverted.
  std::string Flipped(int n, std::size_t at) const {
    std::string v = good[static_cast<std::size_t>(n - 1)];
    v[at] = static_cast<char>(~v[at]);
    return v;
  }
  std::string Holding() const {
    std::string text;
    for (const char* name : {"a", "sub\\b", "c"}) {
      std::optional<std::string> content = files.Content(std::string(kTarget) + name);
      text +=
          std::string(text.empty() ? "" : " ") + (content ? std::to_string(content->size()) : "-");
    }
    return text;
  }

  const std::string stream;
  std::vector<std::string> good;
};

TEST_F(DiskFaultTest, AFaultyDiskIsAskedForAgainAndNoUnprovenByteIsHandedOn) {
  struct Row {
    const char* name;
    bool digests;
    // Puts the disks in the drive before the copy.
    std::function<void()> arrange;
    // What the user does at the n-th fault prompt (from 1); the answer.
    std::function<bool(int)> user;
    bool result;
    std::vector<std::string> log;
    uint64_t bytesWritten;
  };
  const std::vector<Row> rows = {
      // Reads of 64 bytes: b has one read's worth when the bad byte is met.
      {"a read fails at byte 600 once, then Retry goes on where it stopped",
       true,
       [this] {
         files.readLimit = 64;
         files.badByte[Volume(2)] = 600;
       },
       [this](int) { return files.badByte.erase(Volume(2)) == 1; },
       true,
       {"found 1", "found 2", "unreadable 2 (1500 64 -)", "found 2", "found 3"},
       2500},
      {"a read error without digests is asked for again as well",
       false,
       [this] {
         files.readLimit = 64;
         files.badByte[Volume(2)] = 600;
       },
       [this](int) { return files.badByte.erase(Volume(2)) == 1; },
       true,
       {"found 1", "found 2", "unreadable 2 (1500 64 -)", "found 2", "found 3"},
       2500},
      {"without digests a disk put in after a read error must be as long as the first",
       false,
       [this] { files.badByte[Volume(2)] = 600; },
       [this](int n) {
         files.badByte.clear();
         files.AddFile(Volume(2), n == 1 ? good[1].substr(0, 999) : good[1]);
         return true;
       },
       true,
       {"found 1", "found 2", "unreadable 2 (1500 0 -)", "wrong 2 (1500 0 -)", "found 2",
        "found 3"},
       2500},
      {"a read that always fails, Retry twice, then Cancel",
       true,
       [this] { files.badByte[Volume(2)] = 600; },
       [](int n) { return n < 3; },
       false,
       {"found 1", "found 2", "unreadable 2 (1500 0 -)", "found 2", "unreadable 2 (1500 0 -)",
        "found 2", "unreadable 2 (1500 0 -)"},
       1500},
      {"one wrong byte: the files disk 2 fed go back and it is read again",
       true,
       [this] { files.AddFile(Volume(2), Flipped(2, 700)); },
       [this](int) {
         files.AddFile(Volume(2), good[1]);
         return true;
       },
       true,
       {"found 1", "found 2", "damaged 2 (1000 - -)", "found 2", "found 3"},
       3500},
      {"one wrong byte that is still there at Retry, then Cancel",
       true,
       [this] { files.AddFile(Volume(2), Flipped(2, 999)); },
       [](int n) { return n < 2; },
       false,
       {"found 1", "found 2", "damaged 2 (1000 - -)", "found 2", "damaged 2 (1000 - -)"},
       3000},
      {"a wrong byte in the part of the last disk no file uses",
       true,
       [this] { files.AddFile(Volume(3), Flipped(3, 550)); },
       [this](int) {
         files.AddFile(Volume(3), good[2]);
         return true;
       },
       true,
       {"found 1", "found 2", "found 3", "damaged 3 (1500 300 200)", "found 3"},
       3000},
      {"disk 2 of another set of the same length: refused at once",
       true,
       [this] { files.AddFile(Volume(2), Bytes(1000, 99)); },
       [this](int) {
         files.AddFile(Volume(2), good[1]);
         return true;
       },
       true,
       {"found 1", "wrong 2 (1000 - -)", "found 2", "found 3"},
       2500},
      {"a disk 2 of the wrong length",
       true,
       [this] { files.AddFile(Volume(2), good[1] + "x"); },
       [this](int n) {
         if (n == 2) files.AddFile(Volume(2), good[1]);
         return true;
       },
       true,
       {"found 1", "wrong 2 (1000 - -)", "wrong 2 (1000 - -)", "found 2", "found 3"},
       2500},
      {"without digests a wrong byte goes through, as it always did",
       false,
       [this] { files.AddFile(Volume(2), Flipped(2, 700)); },
       nullptr,
       true,
       {"found 1", "found 2", "found 3"},
       2500},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ResetFiles();
    state.manifest.Clear();
    MakeSet(row.digests);
    row.arrange();
    log.clear();
    DiskSetCopier copier(state);
    RecordPrompts(copier);
    int faults = 0;
    copier.SetFaultCallback([&](int disk, DiskFault fault) {
      log.push_back(std::string(FaultName(fault)) + " " + std::to_string(disk) + " (" + Holding() +
                    ")");
      return row.user && row.user(++faults);
    });
    EXPECT_EQ(copier.Start(), row.result);
    EXPECT_EQ(log, row.log);
    EXPECT_EQ(files.bytesWritten, row.bytesWritten);
    if (row.result) {
      // What was on disk 2 when it was last read.
      const std::string disk2 = *files.Content(Volume(2));
      EXPECT_TRUE(SameBytes(Target("a") + Target("sub\\b") + Target("c"),
                            (good[0] + disk2 + good[2]).substr(0, 2500)));
      EXPECT_EQ(state.totalCopied, 2500);
    }
  }
}

// A set without digests is read as it always was: nothing but the bytes its
// files need, and no prompt.
TEST_F(DiskFaultTest, ASetWithoutDigestsReadsOnlyWhatItsFilesNeed) {
  MakeSet(false);
  DiskSetCopier copier(state);
  RecordPrompts(copier);
  copier.SetFaultCallback([&](int, DiskFault) {
    log.push_back("fault");
    return false;
  });
  ASSERT_TRUE(copier.Start());
  EXPECT_EQ(files.bytesRead, 2500u + files.Content(std::string(kSource) + "Files.id")->size());
  EXPECT_EQ(log, (std::vector<std::string>{"found 1", "found 2", "found 3"}));
}

TEST_F(DiskSetCopierTest, FreeSpaceMustExceedTheChunk) {
  for (uint64_t free : {uint64_t{100}, uint64_t{101}}) {
    SCOPED_TRACE(free);
    RecordingMessageBoxes freshBoxes;
    Messages freshMessages(catalogue, freshBoxes);
    CopyEngineState fresh(files, freshMessages, text);
    fresh.sourceDir = kSource;
    fresh.targetDir = kTarget;
    SetManifest("1,a,100\n");
    SetVolumes(Bytes(100, 7), {100});
    files.freeSpace = free;
    DiskSetCopier copier(fresh);
    bool enough = free > 100;
    EXPECT_EQ(copier.Start(), enough);
    if (enough) {
      EXPECT_TRUE(freshBoxes.Shown().empty());
      EXPECT_TRUE(SameBytes(Target("a"), Bytes(100, 7)));
    } else {
      ASSERT_EQ(freshBoxes.Shown().size(), 1u);
      EXPECT_EQ(freshBoxes.Shown()[0].text, "Not enough free space for temporary files.");
      EXPECT_EQ(freshBoxes.Shown()[0].caption, "Installation Error");
      EXPECT_EQ(Target("a"), "");  // opened, nothing written
    }
  }
}

TEST_F(DiskSetCopierTest, ShortReadsStillJoinTheRightBytes) {
  const std::string data = Bytes(100, 8);
  SetManifest("1,a,60\n2,b,40\n");
  SetVolumes(data, {70, 30});
  files.readLimit = 7;
  DiskSetCopier copier(state);
  RecordProgress(copier);
  ASSERT_TRUE(copier.Start());
  EXPECT_TRUE(SameBytes(Target("a"), data.substr(0, 60)));
  EXPECT_TRUE(SameBytes(Target("b"), data.substr(60)));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "total 100 7");
  EXPECT_EQ(log[1], "disk 70 7");
  EXPECT_EQ(log.back(), "disk 30 30");
}

TEST_F(DiskSetCopierTest, FailuresEndTheCopyWithoutAMessage) {
  struct Row {
    const char* name;
    std::function<void(FakeFileSystem&)> fault;
    std::string expectedB;
  };
  const std::string data = Bytes(30, 9);
  const std::vector<Row> rows = {
      {"write refused at byte 15", [](FakeFileSystem& f) { f.failWritesAfterBytes = 15; },
       data.substr(10, 5)},
      {"volume read error", [](FakeFileSystem& f) { f.unreadable.insert(Volume(2)); }, ""},
      {"volume shorter than the manifest says",
       [](FakeFileSystem& f) { f.AddFile(Volume(2), "short"); }, "short"},
      // Another disk put in between the measure and the copy: the read ends
      // early and the copy must not wait for bytes that never come.
      {"volume shrinks after it was measured",
       [](FakeFileSystem& f) {
         f.beforeOpen = [&f, opens = 0](const std::string& path) mutable {
           if (path == Volume(2) && ++opens == 2) f.AddFile(Volume(2), "short");
         };
       },
       "short"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ResetFiles();
    SetManifest("1,a,10\n2,b,20\n");
    SetVolumes(data, {10, 20});
    row.fault(files);
    RecordingMessageBoxes freshBoxes;
    Messages freshMessages(catalogue, freshBoxes);
    CopyEngineState fresh2(files, freshMessages, text);
    fresh2.sourceDir = kSource;
    fresh2.targetDir = kTarget;
    DiskSetCopier copier(fresh2);
    EXPECT_FALSE(copier.Start());
    EXPECT_TRUE(SameBytes(Target("a"), data.substr(0, 10)));
    EXPECT_TRUE(SameBytes(Target("b"), row.expectedB));
    EXPECT_TRUE(freshBoxes.Shown().empty());
  }
}

TEST_F(DiskSetCopierTest, PromptAnswers) {
  struct Row {
    const char* name;
    std::function<bool(int, bool)> answer;
    bool installPrompt;
    bool result;
    std::vector<std::string> prompts;
  };
  const std::vector<Row> rows = {
      {"retry until the disk is in",
       nullptr,
       true,
       true,
       {"found 1", "missing 2", "missing 2", "found 2"}},
      {"cancel while disk 2 is missing",
       [](int, bool missing) { return !missing; },
       true,
       false,
       {"found 1", "missing 2"}},
      {"abort when disk 1 is announced", [](int, bool) { return false; }, true, false, {"found 1"}},
      {"no prompt callback", nullptr, false, false, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ResetFiles();
    SetManifest("1,a,4\n2,b,4\n");
    SetVolumes("aaaabbbb", {4, 4});
    files.unavailable.insert(Volume(2));
    int opens = 0;
    // The disk goes in after the second attempt to open it.
    files.beforeOpen = [&](const std::string& path) {
      if (path == Volume(2) && ++opens == 3) files.unavailable.clear();
    };
    promptAnswer = row.answer ? row.answer : [](int, bool) { return true; };
    log.clear();
    DiskSetCopier copier(state);
    if (row.installPrompt) RecordPrompts(copier);
    EXPECT_EQ(copier.Start(), row.result);
    EXPECT_EQ(log, row.prompts);
    EXPECT_EQ(Target("b"), row.result ? "bbbb" : "<none>");
  }
}

TEST_F(DiskSetCopierTest, ProgressComesAfterEveryChunkTotalFirst) {
  const std::string data = Bytes(130000, 10);
  SetManifest("1,a,120000\n2,b,10000\n");
  SetVolumes(data, {120005, 9995});
  DiskSetCopier copier(state);
  RecordProgress(copier);
  ASSERT_TRUE(copier.Start());
  EXPECT_EQ(log, (std::vector<std::string>{"total 130000 51200", "disk 120005 51200",    //
                                           "total 130000 102400", "disk 120005 102400",  //
                                           "total 130000 120000", "disk 120005 120000",  //
                                           "total 130000 120005",
                                           "disk 120005 120005",  // b's first piece
                                           "total 130000 130000", "disk 9995 9995"}));
  EXPECT_TRUE(SameBytes(Target("a") + Target("b"), data));
}

TEST_F(DiskSetCopierTest, WhichProgressResultDecides) {
  struct Row {
    const char* name;
    bool totalResult;
    bool installDisk;
    bool diskResult;
    bool throws;
    bool completes;
  };
  for (const Row& row :
       std::vector<Row>{{"disk result decides over total", false, true, true, false, true},
                        {"disk false stops", true, true, false, false, false},
                        {"total alone decides", false, false, false, false, false},
                        {"total alone true", true, false, false, false, true},
                        {"a throwing callback stops", true, true, true, true, false}}) {
    SCOPED_TRACE(row.name);
    ResetFiles();
    const std::string data = Bytes(120000, 11);
    SetManifest("1,a,120000\n");
    SetVolumes(data, {120000});
    DiskSetCopier copier(state);
    copier.SetTotalProgressCallback([&](int, int) {
      if (row.throws) throw std::runtime_error("window gone");
      return row.totalResult;
    });
    // Progress callbacks outlive the handles; install or clear it each time.
    copier.SetDiskProgressCallback(nullptr);
    if (row.installDisk) copier.SetDiskProgressCallback([&](int, int) { return row.diskResult; });
    EXPECT_EQ(copier.Start(), row.completes);
    // A stop comes after the chunk just written.
    EXPECT_TRUE(
        SameBytes(Target("a"), row.completes ? data : data.substr(0, DiskSetCopier::kChunkSize)));
  }
}

TEST_F(DiskSetCopierTest, UnsafePathsFailTheCopyBeforeAnythingIsWritten) {
  for (const char* path : {"\\abs.txt",
                           "/abs.txt",
                           "C:x.txt",
                           "a.txt:stream",
                           "..\\x.txt",
                           "a\\..\\..\\x.txt",
                           "a/../x.txt",
                           "...\\x.txt",
                           "a\\.. \\x.txt",
                           "..",
                           "NUL",
                           "con.txt",
                           "sub\\Aux\\x.txt",
                           "PRN. .",
                           "nul .txt",
                           "COM1",
                           "lpt9.log",
                           "CONIN$",
                           "conout$.x",
                           "Clock$",
                           "a/COM5"}) {
    SCOPED_TRACE(path);
    ResetFiles();
    files.AddFile("C:\\Temp\\x.txt", "someone else's");
    SetManifest(std::string("1,good.txt,2\n2,") + path + ",2\n");
    SetVolumes("abcd", {4});
    log.clear();
    DiskSetCopier copier(state);
    RecordPrompts(copier);
    EXPECT_FALSE(copier.Start());
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(files.bytesWritten, 0u);
    EXPECT_TRUE(files.List(kTarget).empty());
    EXPECT_EQ(files.Content("C:\\Temp\\x.txt"), "someone else's");
    EXPECT_TRUE(files.createFolderCalls.empty());
  }
}

TEST_F(DiskSetCopierTest, SafeRelativePaths) {
  for (const char* path :
       {"a.txt", "sub\\a.txt", "a..b.txt", ".hidden", "a\\.\\b", "x..\\y", "", "CONSOLE",
        "nul_x.txt", "COM0", "COM10", "LPT", "a.con", "xNUL", "CLOCK"}) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(IsSafeRelativePath(path));
  }
}

TEST_F(DiskSetCopierTest, SetsOfTwoToTheThirtyFirstBytesAreRefused) {
  struct Row {
    const char* manifest;
    bool accepted;
  };
  for (const Row& row : std::vector<Row>{{"1,a,2147483647\n", true},
                                         {"1,a,2147483647\n2,b,1\n", false},
                                         {"1,a,2147483648\n2,b,-10\n", false},
                                         {"1,a,99999999999999999999999\n", false},
                                         {"1,a,1073741824\n2,b,1073741824\n", false}}) {
    SCOPED_TRACE(row.manifest);
    state.manifest.Clear();
    SetManifest(row.manifest);
    SetVolumes("abcd", {4});
    log.clear();
    DiskSetCopier copier(state);
    RecordPrompts(copier);
    promptAnswer = [](int, bool missing) { return !missing; };
    EXPECT_FALSE(copier.Start());
    // An accepted set starts copying and runs out of disks.
    EXPECT_EQ(!log.empty(), row.accepted);
    EXPECT_EQ(files.bytesWritten, row.accepted ? 4u : 0u);
    files.bytesWritten = 0;
  }
}

TEST_F(DiskSetCopierTest, StartTwiceRestartsCountersAndMergesTheManifest) {
  SetManifest("1,a,3\n2,b,3\n");
  SetVolumes("abcdef", {6});
  DiskSetCopier copier(state);
  RecordPrompts(copier);
  ASSERT_TRUE(copier.Start());
  SetManifest("1,a2,3\n");  // the second load merges: entry 2 stays
  files.RemoveFile(std::string(kTarget) + "b");
  ASSERT_TRUE(copier.Start());
  EXPECT_EQ(log, (std::vector<std::string>{"found 1", "found 1"}));
  EXPECT_EQ(Target("a2"), "abc");
  EXPECT_EQ(Target("b"), "def");
  EXPECT_EQ(state.totalCopied, 6);
  EXPECT_EQ(state.diskNumber, 1);
}

TEST_F(DiskSetCopierTest, StartNeedsATargetAndAManifest) {
  state.targetDir.clear();
  DiskSetCopier copier(state);
  EXPECT_FALSE(copier.Start());
  EXPECT_TRUE(state.manifest.File().empty());

  state.targetDir = kTarget;
  // No Files.id: false, but TotalSize still counts what an earlier load left.
  state.manifest.SetFile("A:\\old.id");
  files.AddFile("A:\\old.id", "1,a,5\n");
  ASSERT_TRUE(state.manifest.Load(false));
  EXPECT_FALSE(copier.Start());
  EXPECT_EQ(state.totalSize, 5);
}

TEST_F(DiskSetCopierTest, HandlesResetTheSharedStateAndClearTheManifestWhenDestroyed) {
  SetManifest("1,a,3\n");
  SetVolumes("abc", {3});
  auto progress = [](int, int) { return true; };
  {
    DiskSetCopier first(state);
    first.SetDiskProgressCallback(progress);
    first.SetTotalProgressCallback(progress);
    first.SetPromptCallback([](int, bool) { return true; });
    first.SetFaultCallback([](int, DiskFault) { return true; });
    ASSERT_TRUE(first.Start());
    first.RequestStop();
    DiskSetCopier second(state);
    EXPECT_EQ(state.diskNumber, 0);
    EXPECT_EQ(state.totalSize, 0);
    EXPECT_EQ(state.totalCopied, 0);
    EXPECT_EQ(state.volumeSize, 0);
    EXPECT_EQ(state.volumeRemaining, 0);
    EXPECT_EQ(state.volumeOffset, 0);
    EXPECT_TRUE(state.volumePath.empty());
    EXPECT_FALSE(state.promptCallback);
    EXPECT_FALSE(state.faultCallback);
    EXPECT_FALSE(second.StopRequested());
    EXPECT_TRUE(state.diskProgressCallback);
    EXPECT_TRUE(state.totalProgressCallback);
    EXPECT_EQ(state.targetDir, kTarget);
    EXPECT_EQ(state.manifest.Count(), 1u);
  }
  EXPECT_EQ(state.manifest.Count(), 0u);
}

TEST_F(DiskSetCopierTest, AStopRequestEndsTheCopyBetweenChunksAndAtPrompts) {
  struct Row {
    const char* name;
    bool stopInProgress;
    bool stopInPrompt;
    std::size_t bytesA;
  };
  const std::string data = Bytes(120000, 12);
  for (const Row& row : std::vector<Row>{{"after a chunk", true, false, DiskSetCopier::kChunkSize},
                                         {"while disk 1 is announced", false, true, 0}}) {
    SCOPED_TRACE(row.name);
    ResetFiles();
    SetManifest("1,a,120000\n");
    SetVolumes(data, {120000});
    DiskSetCopier copier(state);
    copier.SetTotalProgressCallback([&](int, int) {
      if (row.stopInProgress) copier.RequestStop();
      return true;
    });
    copier.SetPromptCallback([&](int, bool) {
      if (row.stopInPrompt) copier.RequestStop();
      return true;  // the dialog was answered before the stop was seen
    });
    EXPECT_FALSE(copier.Start());
    EXPECT_EQ(files.Content(std::string(kTarget) + "a").value_or("").size(), row.bytesA);
  }
}

TEST_F(DiskSetCopierTest, AStopRequestEndsTheRetryLoopOfAMissingDisk) {
  // A volume that another program is reading counts as missing: volumes
  // are opened without sharing.
  for (bool held : {false, true}) {
    SCOPED_TRACE(held);
    ResetFiles();
    SetManifest("1,a,4\n");
    SetVolumes(Bytes(4, 1), {4});
    (held ? files.heldByReader : files.unavailable).insert(Volume(1));
    DiskSetCopier copier(state);
    int asked = 0;
    copier.SetPromptCallback([&](int, bool) {
      if (++asked == 3) copier.RequestStop();
      return true;
    });
    EXPECT_FALSE(copier.Start());
    EXPECT_EQ(asked, 3);
  }
}

TEST_F(DiskSetCopierTest, RemoveCreatedFoldersRemovesEmptyFoldersInnermostFirst) {
  SetManifest(
      "1,a\\b\\c.txt,1\n2,a\\d.txt,1\n3,e.txt,1\n9,x\\y\\z.txt,0\n"
      "10,keep\\f.txt,0\n11,..\\Temp\\g\\h.txt,0\n12,aux\\i.txt,0\n");
  state.manifest.SetFile(std::string(kSource) + "Files.id");
  ASSERT_TRUE(state.manifest.Load(false));
  const std::string t = kTarget;
  for (const char* folder : {"a\\b", "x\\y", "keep", "aux"}) files.AddFolder(t + folder);
  files.AddFile(t + "keep\\other.txt", "not ours to delete");
  files.AddFile(t + "e.txt", "files stay");
  files.AddFolder("C:\\Temp\\g");
  DiskSetCopier copier(state);
  copier.RemoveCreatedFolders();
  EXPECT_EQ(
      files.List(kTarget),
      (std::vector<std::string>{"C:\\Temp\\ST000001\\keep", "C:\\Temp\\ST000001\\keep\\other.txt",
                                "C:\\Temp\\ST000001\\aux", "C:\\Temp\\ST000001\\e.txt"}));
  EXPECT_TRUE(files.Exists("C:\\Temp\\g"));
}

TEST_F(DiskSetCopierTest, RemoveExtractedFilesLeavesNothingOfTheRunAndTouchesNothingElse) {
  // The digest line of disk 1 gives the cleanup nothing to delete or remove.
  SetManifest(
      "1,a.txt,2\n2,sub\\deep\\b.txt,2\n7,..\\victim.txt,0\n8,\\abs.txt,0\n"
      "9,..\\Empty\\x.txt,0\nDisk.1,,4,ED82CD11,ED82CD11\n");
  SetVolumes("abcd", {4});
  files.AddFile("C:\\Temp\\victim.txt", "keep");
  files.AddFolder("C:\\Temp\\Empty");  // someone else's, empty
  files.AddFile("C:\\Temp\\a.txt", "another program's file of the same name");
  files.AddFile("C:\\abs.txt", "keep");
  DiskSetCopier copier(state);
  ASSERT_TRUE(copier.Start());
  ASSERT_EQ(Target("sub\\deep\\b.txt"), "cd");

  RemoveExtractedFiles(copier, kTarget, files);
  EXPECT_FALSE(files.Exists(kTarget));
  EXPECT_EQ(files.Content("C:\\Temp\\victim.txt"), "keep");
  EXPECT_EQ(files.Content("C:\\Temp\\a.txt"), "another program's file of the same name");
  EXPECT_EQ(files.Content("C:\\abs.txt"), "keep");
  EXPECT_TRUE(files.IsFolder("C:\\Temp\\Empty"));
  EXPECT_EQ(state.manifest.Count(), 0u);
}

TEST_F(DiskSetCopierTest, RemoveExtractedFilesWithoutAFolderOnlyEmptiesTheManifest) {
  SetManifest("1,a.txt,2\n");
  state.manifest.SetFile(std::string(kSource) + "Files.id");
  ASSERT_TRUE(state.manifest.Load(false));
  files.AddFile("C:\\Work\\a.txt", "direct route");
  files.currentFolder = "C:\\Work\\";
  DiskSetCopier copier(state);
  RemoveExtractedFiles(copier, "", files);
  EXPECT_TRUE(files.Exists("C:\\Work\\a.txt"));
  EXPECT_TRUE(files.removeFolderCalls.empty());
  EXPECT_EQ(state.manifest.Count(), 0u);
}

}  // namespace
}  // namespace setup
