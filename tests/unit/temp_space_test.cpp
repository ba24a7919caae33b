#include "floppy/temp_space.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "fakes/fake_file_system.h"
#include "fakes/fake_system.h"
#include "fakes/fake_ui.h"

namespace setup {
namespace {

using testing::CatalogueStrings;
using testing::FakeFileSystem;
using testing::FakeSystemInfo;
using testing::RecordingMessageBoxes;
using Result = TempSpaceDialogView::Result;

// Plays the user: each RunModal takes the next answer and records the path
// the dialog showed.
class ScriptedTempSpaceView : public TempSpaceDialogView {
 public:
  struct Answer {
    Result result;
    std::string chosen;
  };
  Result RunModal(const std::string& path, std::string& chosen) override {
    shown.push_back(path);
    if (answers.empty()) return Result::Exit;
    Answer answer = answers.front();
    answers.erase(answers.begin());
    chosen = answer.chosen;
    return answer.result;
  }
  std::vector<Answer> answers;
  std::vector<std::string> shown;
};

class TempSpaceTest : public ::testing::Test {
 protected:
  bool Check(int64_t required) {
    return CheckTempSpace(utils, messages, view, folder, required, created);
  }

  FakeFileSystem files;
  FileUtilities utils{files};
  RecordingMessageBoxes boxes;
  CatalogueStrings catalogue;
  Messages messages{catalogue, boxes};
  ScriptedTempSpaceView view;
  std::string folder = "C:\\Temp\\";
  bool created = false;
};

TEST(TempSpacePathTest, OkNormalisesTheField) {
  struct Row {
    const char* field;
    const char* path;
  };
  for (const Row& row : std::vector<Row>{{"C:\\Data", "C:\\Data\\"},
                                         {"C:\\Data\\\\\\", "C:\\Data\\"},
                                         {"D:", "D:\\"},
                                         {"\\\\srv\\share\\tmp", "\\\\srv\\share\\tmp\\"},
                                         {"\\\\srv\\share\\tmp\\", "\\\\srv\\share\\tmp\\"},
                                         {"\\\\\\srv\\share", "\\\\srv\\share\\"},
                                         {"\\tmp", "tmp\\"},
                                         {"\\\\", "\\"},
                                         {"", "\\"}}) {
    SCOPED_TRACE(row.field);
    EXPECT_EQ(NormaliseChosenFolder(row.field), row.path);
  }
}

TEST(TempSpacePathTest, ChangeCutsTheChosenFileBeforeItsLastBackslash) {
  struct Row {
    const char* file;
    const char* field;
  };
  for (const Row& row : std::vector<Row>{{"C:\\Data\\x.txt", "C:\\Data"},
                                         {"D:\\x.txt", "D:"},
                                         {"\\\\srv\\share\\x.txt", "\\\\srv\\share"},
                                         {"x.txt", "x.txt"}}) {
    SCOPED_TRACE(row.file);
    EXPECT_EQ(FolderOfChosenFile(row.file), row.field);
  }
}

TEST_F(TempSpaceTest, FreeSpaceMustExceedRequiredPlusTheMargin) {
  struct Row {
    int64_t required;
    uint64_t free;
    bool dialogShown;
  };
  for (const Row& row : std::vector<Row>{{0, 100000, true},
                                         {0, 100001, false},
                                         {5000, 105000, true},
                                         {5000, 105001, false},
                                         {int64_t{3} << 31, (uint64_t{3} << 31) + 100001, false},
                                         {-200000, 0, false},
                                         // No wrap-around near 2^63.
                                         {INT64_MAX - 10, 1000, true},
                                         {INT64_MAX, uint64_t{1} << 63, true}}) {
    SCOPED_TRACE(std::to_string(row.required) + " " + std::to_string(row.free));
    files.freeSpace = row.free;
    view.shown.clear();
    folder = "C:\\Temp\\";
    EXPECT_EQ(Check(row.required), !row.dialogShown);  // the script answers Exit
    EXPECT_EQ(!view.shown.empty(), row.dialogShown);
    EXPECT_EQ(folder, "C:\\Temp\\");
    EXPECT_FALSE(created);
  }
}

TEST_F(TempSpaceTest, AMissingTempFolderGivesMessageTenWithoutTheDialog) {
  folder = "C:\\NoSuchTemp\\";
  EXPECT_FALSE(Check(0));
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, "Error determining free disk space. Installation failed.");
  EXPECT_TRUE(view.shown.empty());
}

TEST_F(TempSpaceTest, TheUsersChoices) {
  struct Row {
    const char* name;
    std::vector<ScriptedTempSpaceView::Answer> answers;
    bool result;
    const char* folder;
    bool created;
    std::size_t dialogs;
  };
  // C: (with C:\Temp) and E: are too small, F: and D: big enough; Q: does
  // not exist, so nothing can be created there.
  const std::vector<Row> rows = {
      {"exit at once", {{Result::Exit, ""}}, false, "C:\\Temp\\", false, 1},
      {"an existing big folder", {{Result::Ok, "F:\\Big\\"}}, true, "F:\\Big\\", false, 1},
      {"a new folder is created",
       {{Result::Ok, "D:\\New\\Deeper\\"}},
       true,
       "D:\\New\\Deeper\\",
       true,
       1},
      {"too small, then exit",
       {{Result::Ok, "E:\\Small\\"}, {Result::Exit, ""}},
       false,
       "C:\\Temp\\",
       false,
       2},
      // The folder that was finally accepted existed: it is the user's.
      {"cannot be created, then an existing big one",
       {{Result::Ok, "Q:\\x\\"}, {Result::Ok, "F:\\Big\\"}},
       true,
       "F:\\Big\\",
       false,
       2},
      {"created on a small volume, then exit",
       {{Result::Ok, "E:\\Made\\"}, {Result::Exit, ""}},
       false,
       "C:\\Temp\\",
       false,
       2},
      {"created on a small volume, then an existing big one",
       {{Result::Ok, "E:\\Made\\"}, {Result::Ok, "F:\\Big\\"}},
       true,
       "F:\\Big\\",
       false,
       2},
      {"an existing small one, then a new big one",
       {{Result::Ok, "E:\\Small\\"}, {Result::Ok, "D:\\New\\"}},
       true,
       "D:\\New\\",
       true,
       2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeFileSystem fresh;
    files = fresh;
    files.AddFolder("F:\\Big");
    files.AddFolder("E:\\Small");
    files.AddFolder("D:");
    files.freeSpace = 5000000;
    files.volumeFreeSpace = {{"C:", 1000}, {"E:", 2000}};
    view.answers = row.answers;
    view.shown.clear();
    folder = "C:\\Temp\\";
    created = false;
    EXPECT_EQ(Check(1000000), row.result);
    EXPECT_EQ(folder, row.folder);
    EXPECT_EQ(created, row.created);
    EXPECT_FALSE(files.Exists("E:\\Made"));  // made, refused, removed again
    EXPECT_EQ(view.shown.size(), row.dialogs);
    // Every pass shows the folder passed in, never the last choice.
    EXPECT_EQ(std::set<std::string>(view.shown.begin(), view.shown.end()),
              std::set<std::string>{"C:\\Temp\\"});
    EXPECT_TRUE(boxes.Shown().empty());
  }
}

TEST(ExtractionFolderTest, AFreshFolderIsCreatedAndAnExistingOneNeverReused) {
  FakeFileSystem files;
  FakeSystemInfo system;
  files.AddFolder("C:\\Temp\\ST00000A");
  files.AddFile("C:\\Temp\\ST00000B", "a file of that name");
  system.randomNumbers = {0xA, 0xB, 0xFF00000C};
  std::string created = "untouched";
  ASSERT_TRUE(CreateExtractionFolder(files, system, "C:\\Temp\\", created));
  EXPECT_EQ(created, "C:\\Temp\\ST00000C\\");
  EXPECT_TRUE(files.IsFolder("C:\\Temp\\ST00000C"));
  EXPECT_EQ(files.List("C:\\Temp\\ST00000A"), std::vector<std::string>{});

  // When every name is taken, nothing is created and the result is false.
  std::string again = "untouched";
  system.randomNumbers = {0xA};
  EXPECT_FALSE(CreateExtractionFolder(files, system, "C:\\Temp", again));
  EXPECT_EQ(again, "untouched");
  system.randomNumbers.clear();
  EXPECT_FALSE(CreateExtractionFolder(files, system, "Q:\\Missing\\", again));
}

TEST(ExtractionFolderTest, TwoRunsGetTwoFolders) {
  FakeFileSystem files;
  FakeSystemInfo system;
  std::string first, second;
  ASSERT_TRUE(CreateExtractionFolder(files, system, "C:\\Temp\\", first));
  ASSERT_TRUE(CreateExtractionFolder(files, system, "C:\\Temp\\", second));
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind("C:\\Temp\\ST", 0), 0u);
  EXPECT_EQ(first.size(), std::string("C:\\Temp\\ST123456\\").size());
}

}  // namespace
}  // namespace setup
