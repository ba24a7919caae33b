#include "support/file_utils.h"

#include <gtest/gtest.h>

#include "fakes/fake_file_system.h"

namespace setup {
namespace {

using testing::FakeFileSystem;

TEST(FindFile, StartTrimsTheCallersFolderAndContinueWalksTheListing) {
  FakeFileSystem fs;
  fs.AddFile("C:\\Setup\\Files.id");
  fs.AddFile("C:\\Setup\\b.txt");
  FileUtilities utils(fs);

  std::string folder = "C:\\Setup\\\\";
  std::string name = "Files.id";
  bool isFolder = true;
  EXPECT_TRUE(utils.FindFile(folder, name, isFolder));
  EXPECT_EQ(folder, "C:\\Setup");
  EXPECT_EQ(name, "Files.id");
  EXPECT_FALSE(isFolder);

  // A listing with continue calls, "." and ".." included.
  name = "*.*";
  std::vector<std::string> seen;
  for (bool found = utils.FindFile(folder, name, isFolder); found;
       found = utils.FindFile(folder, name, isFolder)) {
    seen.push_back(name + (isFolder ? "/" : ""));
    name.clear();
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"./", "../", "Files.id", "b.txt"}));
  EXPECT_EQ(fs.openSearches, 0);
}

TEST(FindFile, FailedStartLeavesNoSearchAndContinueFindsNothing) {
  FakeFileSystem fs;
  fs.AddFile("C:\\Setup\\a.txt");
  FileUtilities utils(fs);
  std::string folder = "C:\\Setup";
  std::string name = "*.*";
  bool isFolder = true;
  ASSERT_TRUE(utils.FindFile(folder, name, isFolder));
  EXPECT_EQ(fs.openSearches, 1);

  name = "missing.msi";  // a new start closes the open search first
  EXPECT_FALSE(utils.FindFile(folder, name, isFolder));
  EXPECT_EQ(name, "");
  EXPECT_TRUE(isFolder);  // untouched when nothing was found
  EXPECT_EQ(fs.openSearches, 0);
  EXPECT_FALSE(utils.FindFile(folder, name, isFolder));
}

TEST(WalkFolder, SkipsMsiFoldersAtAnyDepthAndKeepsTheOuterSearch) {
  FakeFileSystem fs;
  fs.AddFile("C:\\B\\a.txt");
  fs.AddFile("C:\\B\\MSI\\update.exe");
  fs.AddFile("C:\\B\\Other\\x.exe");
  fs.AddFile("C:\\B\\Other\\msi\\deep.exe");
  fs.AddFile("C:\\B\\Other\\Sub\\y.exe");
  fs.AddFile("C:\\B\\z.exe");
  FileUtilities utils(fs);

  std::vector<std::string> visited;
  bool complete = utils.WalkFolder("C:\\B\\", "Msi\\", "*.*", "ctx",
                                   [&](std::string& path, std::string& context) {
                                     EXPECT_EQ(context, "ctx");
                                     visited.push_back(path);
                                     return true;
                                   });
  EXPECT_TRUE(complete);
  EXPECT_EQ(visited, (std::vector<std::string>{"C:\\B\\a.txt", "C:\\B\\Other\\x.exe",
                                               "C:\\B\\Other\\Sub\\y.exe", "C:\\B\\z.exe"}));
  EXPECT_EQ(fs.openSearches, 0);
}

TEST(WalkFolder, AFalseFromANestedFileStopsTheWholeWalk) {
  FakeFileSystem fs;
  fs.AddFile("C:\\B\\Sub\\first.exe");
  fs.AddFile("C:\\B\\Sub\\second.exe");
  fs.AddFile("C:\\B\\after.exe");
  FileUtilities utils(fs);
  std::vector<std::string> visited;
  bool complete = utils.WalkFolder("C:\\B", "MSI", "*.*", "", [&](std::string& path, std::string&) {
    visited.push_back(path);
    return false;
  });
  EXPECT_FALSE(complete);
  EXPECT_EQ(visited, (std::vector<std::string>{"C:\\B\\Sub\\first.exe"}));
  EXPECT_EQ(fs.openSearches, 0);
}

TEST(WalkFolder, AMissingFolderIsAnEmptyWalk) {
  FakeFileSystem fs;
  FileUtilities utils(fs);
  int calls = 0;
  EXPECT_TRUE(utils.WalkFolder("C:\\Nowhere\\", "MSI", "*.*", "", [&](std::string&, std::string&) {
    ++calls;
    return true;
  }));
  EXPECT_EQ(calls, 0);
}

TEST(CreateFolderChain, DrivePathsUncPathsAndTheCallersString) {
  struct Row {
    std::string path;
    std::vector<std::string> attempts;
    std::string after;
    bool result;
  } rows[] = {
      {"  C:\\A\\B\\", {"C:\\A", "C:\\A\\B"}, "C:\\A\\B\\", true},
      {"C:\\Temp\\Setup", {"C:\\Temp"}, "C:\\Temp\\Setup", true},  // exists already
      {"\\\\srv\\share\\dir\\",
       {"", "\\", "\\\\srv", "\\\\srv\\share", "\\\\srv\\share\\dir"},
       "\\\\srv\\share\\dir\\",
       true},
      {"", {}, "", false},
      {" \t", {}, "", false},
      {"X:\\A\\", {"X:\\A"}, "X:\\A\\", false},  // no such drive
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    FakeFileSystem fs;
    fs.AddFolder("\\\\srv\\share");  // a reachable share
    fs.createFolderCalls.clear();
    FileUtilities utils(fs);
    std::string path = row.path;
    EXPECT_EQ(utils.CreateFolderChain(path), row.result);
    EXPECT_EQ(path, row.after);
    EXPECT_EQ(fs.createFolderCalls, row.attempts);
  }
}

TEST(RemoveFolders, ChainsStopAtTheRootAndLeaveFilledFolders) {
  FakeFileSystem fs;
  fs.AddFolder("C:\\T\\Msi\\Sub");
  fs.AddFile("C:\\T\\Keep\\file.txt");
  fs.AddFolder("C:\\T\\Keep\\Inner");
  FileUtilities utils(fs);

  std::string relative = "Msi\\Sub";
  utils.RemoveFolderChain("C:\\T\\", relative);
  EXPECT_EQ(fs.removeFolderCalls, (std::vector<std::string>{"C:\\T\\Msi\\Sub", "C:\\T\\Msi"}));
  EXPECT_FALSE(fs.Exists("C:\\T\\Msi"));
  EXPECT_TRUE(fs.Exists("C:\\T"));

  relative = "C:\\T\\Keep\\Inner\\";  // the root's text is dropped first
  utils.RemoveFolderChain("C:\\T", relative);
  EXPECT_FALSE(fs.Exists("C:\\T\\Keep\\Inner"));
  EXPECT_TRUE(fs.Exists("C:\\T\\Keep\\file.txt"));

  fs.AddFolder("C:\\Lone");
  relative = "  C:\\Lone";
  fs.removeFolderCalls.clear();
  utils.RemoveFolderChain("", relative);  // no root: exactly that folder
  EXPECT_EQ(fs.removeFolderCalls, (std::vector<std::string>{"C:\\Lone"}));
  EXPECT_FALSE(fs.Exists("C:\\Lone"));

  std::string empty = "   ";
  fs.removeFolderCalls.clear();
  EXPECT_FALSE(utils.RemoveFolder(empty));
  EXPECT_TRUE(fs.removeFolderCalls.empty());
}

TEST(FolderQueries, EndInExactlyOneBackslashAndKeepTheOldTextOnFailure) {
  FakeFileSystem fs;
  FileUtilities utils(fs);
  std::string out;
  fs.tempFolder = "C:\\\\\\";
  utils.GetTempFolder(out);
  EXPECT_EQ(out, "C:\\");
  fs.currentFolder = "D:\\Setup";
  utils.GetCurrentFolder(out);
  EXPECT_EQ(out, "D:\\Setup\\");
  fs.currentFolder.reset();
  out = "E:\\Old\\\\";
  utils.GetCurrentFolder(out);
  EXPECT_EQ(out, "E:\\Old\\");
}

TEST(VolumeRoot, DriveAndUncPathsGiveTheirRootOthersNone) {
  const struct {
    const char* path;
    const char* root;
  } rows[] = {
      {"C:\\Temp\\Setup\\", "C:\\"},
      {"c:", "c:\\"},
      {"\\\\server\\share\\Temp\\", "\\\\server\\share\\"},
      {"\\\\server\\share", "\\\\server\\share\\"},
      {"\\\\server\\", ""},
      {"\\\\server", ""},
      {"\\\\\\share\\", ""},
      {"Temp\\Setup", ""},
      {"", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(VolumeRoot(row.path), row.root);
  }
}

}  // namespace
}  // namespace setup
