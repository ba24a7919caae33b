// The floppy route from start to end against fakes: the worker runs on its
// own thread and talks to the controller only through "sent" messages.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "fakes/fake_machine.h"
#include "support/busy_files.h"
#include "support/crc32.h"

namespace setup {
namespace {

using namespace setup::testing;
using namespace std::chrono_literals;

struct File {
  std::string path;
  std::string content;
};

struct FloppyWorld : FakeRun {
  FloppyWorld() : FakeRun(true) {
    fs.AddFolder("D:");
    fs.AddFile("D:\\SETUP.EXE", "MZ");
    system.langId = 0x0409;
  }

  // Writes Files.id and the volumes Disk.1.. of diskSize bytes each, with
  // the volumes' digests when asked to.
  void MakeSet(const std::vector<File>& files, std::size_t diskSize, bool digests = false) {
    std::string manifest;
    std::string stream;
    for (std::size_t i = 0; i < files.size(); ++i) {
      manifest += std::to_string(i + 1) + "," + files[i].path + "," +
                  std::to_string(files[i].content.size()) + "\r\n";
      stream += files[i].content;
    }
    for (std::size_t disk = 1, at = 0; at < stream.size(); ++disk, at += diskSize) {
      const std::string volume = stream.substr(at, diskSize);
      fs.AddFile("D:\\Disk." + std::to_string(disk), volume);
      if (!digests) continue;
      const VolumeDigest digest{
          static_cast<int64_t>(volume.size()), Crc32(0, volume.data(), volume.size()),
          Crc32(0, volume.data(), std::min<std::size_t>(volume.size(), kFirstBlockSize))};
      manifest += FormatDigestLine(static_cast<int32_t>(disk), digest) + "\r\n";
    }
    fs.AddFile("D:\\Files.id", manifest);
  }

  void MakeStandardSet(bool digests = false) {
    MakeSet({{"Setup.msi", std::string(120000, 'p')},
             {"0009_l.mst", std::string(3000, 't')},
             {"Bootstrap\\Tools\\prereq.exe", std::string(70000, 'b')}},
            100000, digests);
    automation.state.anyPackage = {{{"Lang0009", "English"}}};
  }
};

class FloppyRoute : public ::testing::Test, public FloppyWorld {};

TEST_F(FloppyRoute, TheSetIsAssembledInstalledFromItsOwnFolderAndRemoved) {
  MakeStandardSet();
  fs.AddFile("C:\\Temp\\unrelated.txt", "keep");
  std::vector<std::string> atInstall;
  processes.onRun = [&](const ProcessRun& run) {
    if (run.program == kMsiexec) atInstall = fs.List("C:\\Temp");
  };
  EXPECT_EQ(Start({"/s"}), 0u);
  EXPECT_TRUE(Shown().empty());

  ASSERT_EQ(atInstall.size(), 7u);  // unrelated.txt, the folder, 3 files, 2 sub-folders
  const std::string folder = atInstall[1];
  EXPECT_EQ(folder.rfind("C:\\Temp\\", 0), 0u);
  EXPECT_EQ(atInstall[2], folder + "\\Setup.msi");
  EXPECT_EQ(Installs(),
            (std::vector<std::string>{" /qr SILENT=TRUE /I \"" + folder +
                                      "\\Setup.msi\" TRANSFORMS=\"" + folder + "\\0009_l.mst\""}));
  ASSERT_EQ(processes.runs.size(), 2u);
  EXPECT_EQ(processes.runs[0].program, folder + "\\Bootstrap\\Tools\\prereq.exe");

  // Nothing of the run is left; what was there before stays.
  EXPECT_EQ(fs.List("C:\\Temp"), (std::vector<std::string>{"C:\\Temp\\unrelated.txt"}));
  EXPECT_EQ(progress.created, 1);
  EXPECT_FALSE(progress.exists);
  EXPECT_EQ(progress.label, "Disk Number:     2");
  // The bars follow the bytes: each update sets the range, then the position.
  EXPECT_EQ(progress.events.front(), "Disk Number:     1");
  EXPECT_EQ(progress.events[1], "total 193000/51200");
  EXPECT_EQ(progress.events[2], "disk 100000/51200");
  EXPECT_EQ(progress.events.back(), "disk 93000/93000");
}

// A scanner holds the prerequisite just copied: its start is refused as
// ERROR_ACCESS_DENIED for 6 s, its delete at the end as a sharing violation
// until 9 s. That changes nothing: the program runs once the scanner lets
// go, and nothing is left.
TEST_F(FloppyRoute, AScannerHoldingACopiedFileForAMomentChangesNothing) {
  MakeStandardSet();
  const auto isProgram = [](const std::string& path) {
    return path.size() > 10 && path.compare(path.size() - 10, 10, "prereq.exe") == 0;
  };
  processes.refuseStart = [&](const std::string& program) -> uint32_t {
    return isProgram(program) && clock.now < 6000 ? syserror::kAccessDenied : 0;
  };
  fs.refuse = [&](const std::string& operation, const std::string& path) -> uint32_t {
    return operation == "delete" && isProgram(path) && clock.now < 9000
               ? syserror::kSharingViolation
               : 0;
  };
  uint32_t ranAt = 0;
  processes.onRun = [&](const ProcessRun& run) {
    if (isProgram(run.program)) ranAt = clock.now;
  };
  EXPECT_EQ(Start({"/s"}), 0u);
  EXPECT_EQ(processes.runs.size(), 2u);
  EXPECT_EQ(ranAt, 7100u);
  EXPECT_EQ(clock.now, 10200u);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(fs.List("C:\\Temp"), std::vector<std::string>{});
}

TEST_F(FloppyRoute, AMissingDiskIsAskedForUntilItIsThere) {
  MakeStandardSet();
  const std::string disk2 = *fs.Content("D:\\Disk.2");
  fs.RemoveFile("D:\\Disk.2");
  int asked = 0;
  threads.promptAnswer = [&](const std::string&) {
    if (++asked == 2) fs.AddFile("D:\\Disk.2", disk2);  // the user inserts the disk
    return box::kIdRetry;
  };
  EXPECT_EQ(Start({"/s"}), 0u);
  EXPECT_EQ(asked, 2);
  auto shown = boxes.Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Please insert disk number 2     ");
  EXPECT_EQ(shown[0].caption, "Please Insert Disk");
  EXPECT_EQ(shown[0].style, 0x40025u);  // MB_RETRYCANCEL | MB_ICONQUESTION | MB_TOPMOST
  EXPECT_EQ(Installs().size(), 1u);
  EXPECT_EQ(fs.List("C:\\Temp"), std::vector<std::string>{});
}

TEST_F(FloppyRoute, CancelAtTheDiskPromptFailsTheCopy) {
  // Cancel, or a prompt that could not be shown at all (0): only Retry asks
  // again.
  for (int answer : {box::kIdCancel, 0}) {
    SCOPED_TRACE(answer);
    FloppyWorld w;
    w.MakeStandardSet();
    w.fs.RemoveFile("D:\\Disk.2");
    w.threads.promptAnswer = [answer](const std::string&) { return answer; };
    EXPECT_EQ(w.Start(), 1603u);
    EXPECT_EQ(w.Shown(),
              (std::vector<std::string>{
                  "Please Insert Disk: Please insert disk number 2     ",
                  "Installation Error: Error copying files from disks. Installation failed."}));
    EXPECT_TRUE(w.processes.runs.empty());
    EXPECT_EQ(w.fs.List("C:\\Temp"), std::vector<std::string>{});
  }
}

// A disk that cannot be read, belongs to another set or fails its digest is
// asked for again by a prompt that names it; nothing of the set is run
// before every byte of it is proven.
TEST_F(FloppyRoute, AFaultyDiskIsAskedForAgainBeforeAnythingRuns) {
  const std::string unreadable =
      "Please Insert Disk: Disk 2 could not be read. Clean it or use another copy of disk 2, "
      "insert it and choose Retry.";
  const std::string notThisSet =
      "Please Insert Disk: This is not disk 2 of this set. Insert disk 2 of this set and choose "
      "Retry.";
  const std::string message9 =
      "Installation Error: Error copying files from disks. Installation failed.";
  struct Row {
    std::string what;
    std::function<void(FloppyWorld&, std::string& disk2)> arrange;
    bool retry;
    bool visible;
    std::vector<std::string> shown;
    uint32_t exitCode;
  } rows[] = {
      {"a bad sector, cleaned before Retry",
       [](FloppyWorld& w, std::string&) { w.fs.badByte["D:\\Disk.2"] = 60000; },
       true,
       true,
       {unreadable},
       0},
      {"a bad sector, then Cancel",
       [](FloppyWorld& w, std::string&) { w.fs.badByte["D:\\Disk.2"] = 60000; },
       false,
       true,
       {unreadable, message9},
       1603},
      {"disk 2 of another set",
       [](FloppyWorld&, std::string& disk2) { disk2[0] = 'x'; },
       true,
       true,
       {notThisSet},
       0},
      {"one wrong byte",
       [](FloppyWorld&, std::string& disk2) { disk2[90000] = 'x'; },
       true,
       true,
       {unreadable},
       0},
      {"one wrong byte, then Cancel",
       [](FloppyWorld&, std::string& disk2) { disk2[90000] = 'x'; },
       false,
       true,
       {unreadable, message9},
       1603},
      {"a bad sector where nobody can answer",
       [](FloppyWorld& w, std::string&) { w.fs.badByte["D:\\Disk.2"] = 60000; },
       true,
       false,
       {},
       1603},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FloppyWorld w;
    w.system.windowStationVisible = row.visible;
    w.MakeStandardSet(true);
    const std::string good = *w.fs.Content("D:\\Disk.2");
    std::string disk2 = good;
    row.arrange(w, disk2);
    w.fs.AddFile("D:\\Disk.2", disk2);
    std::size_t runsAtPrompt = 99;
    w.threads.promptAnswer = [&](const std::string&) {
      runsAtPrompt = w.processes.runs.size();
      w.fs.badByte.clear();  // cleaned, or the right disk put in
      w.fs.AddFile("D:\\Disk.2", good);
      return row.retry ? box::kIdRetry : box::kIdCancel;
    };
    EXPECT_EQ(w.Start({"/s"}), row.exitCode);
    EXPECT_EQ(w.Shown(), row.shown);
    if (!row.shown.empty()) {
      EXPECT_EQ(runsAtPrompt, 0u);
      EXPECT_EQ(w.boxes.Shown()[0].style, 0x40025u);
    }
    EXPECT_EQ(w.Installs().size(), row.exitCode == 0 ? 1u : 0u);
    if (row.exitCode != 0) EXPECT_TRUE(w.processes.runs.empty());
    EXPECT_EQ(w.fs.List("C:\\Temp"), std::vector<std::string>{});
  }
}

TEST_F(FloppyRoute, ExitDuringTheCopyEndsQuietly) {
  // Exit pressed while the Total bar (event 2) or the disk bar (event 3) is
  // updated: either update hands the request to the worker, which stops
  // before its next disk update.
  for (std::size_t pressedAt : {2u, 3u}) {
    SCOPED_TRACE(pressedAt);
    FloppyWorld w;
    w.MakeStandardSet();
    w.progress.afterProgress = [&w, pressedAt] {
      if (w.progress.events.size() == pressedAt) w.progress.dialog->OnExitPressed();
    };
    EXPECT_EQ(w.Start(), 1602u);
    EXPECT_EQ(w.progress.events.size(), pressedAt == 2 ? 2u : 4u);
    EXPECT_TRUE(w.Shown().empty());
    EXPECT_TRUE(w.processes.runs.empty());
    EXPECT_EQ(w.fs.List("C:\\Temp"), std::vector<std::string>{});
  }
}

TEST_F(FloppyRoute, CloseDuringTheCopyOrAtAPromptStopsTheWorkerAndCleansUp) {
  for (bool atPrompt : {false, true}) {
    SCOPED_TRACE(atPrompt);
    FloppyWorld w;
    w.MakeStandardSet();
    if (atPrompt) {
      w.fs.RemoveFile("D:\\Disk.2");  // the prompt waits until it is cancelled
    } else {
      // Sixty chunks: the loop takes the posted quit between two of them.
      w.MakeSet({{"Setup.msi", std::string(60 * 51200, 'p')}}, 1457664);
      w.progress.afterProgress = [&w] {
        if (w.progress.events.size() == 2) w.window.Controller().OnSysCommand(0xF060);
      };
    }
    w.window.user = [&w] {
      w.window.Controller().OnSysCommand(0xF060);
      return true;
    };
    EXPECT_EQ(w.Start(), 1602u);
    EXPECT_EQ(w.boxes.Shown().size(), atPrompt ? 1u : 0u);  // the prompt, answered Cancel
    EXPECT_LT(w.fs.bytesWritten, 193000u);                  // the copy did not run on
    EXPECT_TRUE(w.processes.runs.empty());
    EXPECT_EQ(w.fs.List("C:\\Temp"), std::vector<std::string>{});
    EXPECT_FALSE(w.progress.exists);
  }
}

TEST_F(FloppyRoute, AnExceptionOutOfTheLoopStillStopsTheWorkerFirst) {
  MakeStandardSet();
  fs.RemoveFile("D:\\Disk.2");  // the worker waits at the prompt
  window.user = []() -> bool { throw std::runtime_error("lost"); };
  EXPECT_THROW(Start(), std::runtime_error);
  EXPECT_FALSE(window.exists);
  EXPECT_EQ(boxes.Shown().size(), 1u);                         // the prompt, answered Cancel
  EXPECT_EQ(fs.List("C:\\Temp"), std::vector<std::string>{});  // and the copy removed
}

TEST_F(FloppyRoute, TooLittleSpaceAsksForAnotherFolder) {
  MakeStandardSet();
  fs.freeSpace = 193000 + 100000;  // equal is not enough
  EXPECT_EQ(Start(), 1602u);       // the user chose Exit
  EXPECT_EQ(tempSpace.shownPaths, (std::vector<std::string>{"C:\\Temp\\"}));
  EXPECT_FALSE(progress.created);

  // Another folder picked in the dialog: the run's files go there, and at
  // the end only a folder the check itself had to create is removed.
  struct Row {
    std::string what;
    bool existed;
  } rows[] = {{"the user's existing empty folder", true}, {"a folder the check creates", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FloppyWorld w;
    w.MakeStandardSet();
    w.fs.freeSpace = 200000;
    w.fs.AddFolder("E:");
    if (row.existed) w.fs.AddFolder("E:\\New\\Tmp");
    w.fs.volumeFreeSpace["E:"] = 10000000;
    w.tempSpace.user = [](const std::string&, std::string& chosen) {
      chosen = "E:\\New\\Tmp\\";
      return TempSpaceDialogView::Result::Ok;
    };
    EXPECT_EQ(w.Start({"/s"}), 0u);
    ASSERT_EQ(w.Installs().size(), 1u);
    EXPECT_NE(w.Installs()[0].find("/I \"E:\\New\\Tmp\\"), std::string::npos);
    EXPECT_EQ(w.fs.Exists("E:\\New\\Tmp"), row.existed);
    EXPECT_EQ(w.fs.List("E:\\New"),
              row.existed ? std::vector<std::string>{"E:\\New\\Tmp"} : std::vector<std::string>{});
  }
}

TEST_F(FloppyRoute, OnAnInvisibleWindowStationNeitherPromptNorDialogWaits) {
  struct Row {
    std::string what;
    std::function<void(FloppyWorld&)> arrange;
    uint32_t exitCode;
  } rows[] = {
      {"the disk prompt takes Cancel", [](FloppyWorld& w) { w.fs.RemoveFile("D:\\Disk.2"); }, 1603},
      {"the free-space dialog takes Exit", [](FloppyWorld& w) { w.fs.freeSpace = 1000; }, 1602},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FloppyWorld w;
    w.system.windowStationVisible = false;
    w.MakeStandardSet();
    row.arrange(w);
    EXPECT_EQ(w.Start(), row.exitCode);
    EXPECT_TRUE(w.Shown().empty());
    EXPECT_TRUE(w.tempSpace.shownPaths.empty());
    EXPECT_TRUE(w.processes.runs.empty());
    EXPECT_EQ(w.fs.List("C:\\Temp"), std::vector<std::string>{});
  }
}

TEST_F(FloppyRoute, FailuresBeforeAndDuringTheCopyHaveTheirMessages) {
  struct Row {
    std::string what;
    std::function<void(FloppyWorld&)> arrange;
    std::vector<std::string> shown;
  } rows[] = {
      {"temporary folder missing",
       [](FloppyWorld& w) { w.fs.tempFolder = "C:\\Gone\\"; },
       {"Installation Error: Error determining free disk space. Installation failed."}},
      {"worker cannot start",
       [](FloppyWorld& w) { w.threads.failStart = true; },
       {"Installation Error: Error copying files from disks. Installation failed."}},
      {"disk fills during the copy",
       [](FloppyWorld& w) { w.progress.afterProgress = [&w] { w.fs.freeSpace = 1000; }; },
       {"Installation Error: Not enough free space for temporary files.",
        "Installation Error: Error copying files from disks. Installation failed."}},
      {"write refused",
       [](FloppyWorld& w) { w.fs.failWritesAfterBytes = 60000; },
       {"Installation Error: Error copying files from disks. Installation failed."}},
      {"no progress dialog",
       [](FloppyWorld& w) { w.progress.failCreate = true; },
       {"Installation Error: Error copying files from disks. Installation failed."}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FloppyWorld w;
    w.MakeStandardSet();
    row.arrange(w);
    EXPECT_EQ(w.Start(), 1603u);
    EXPECT_EQ(w.Shown(), row.shown);
    EXPECT_TRUE(w.processes.runs.empty());
    EXPECT_EQ(w.fs.List("C:\\Temp"), std::vector<std::string>{});
  }
}

TEST_F(FloppyRoute, AnUnsafeManifestPathTouchesNothingOutside) {
  MakeSet({{"Setup.msi", "pkg"}, {"..\\outside.txt", "evil"}}, 100000);
  fs.AddFile("C:\\outside.txt", "mine");
  fs.AddFile("C:\\Temp\\outside.txt", "mine too");
  EXPECT_EQ(Start(), 1603u);
  EXPECT_EQ(Shown(),
            (std::vector<std::string>{
                "Installation Error: Error copying files from disks. Installation failed."}));
  EXPECT_EQ(fs.Content("C:\\outside.txt"), std::optional<std::string>("mine"));
  EXPECT_EQ(fs.Content("C:\\Temp\\outside.txt"), std::optional<std::string>("mine too"));
}

// Message 11 is a failure of the run, whatever the user does next.
TEST_F(FloppyRoute, MessageElevenThenCloseStillEndsAsAFailure) {
  MakeStandardSet();
  progress.afterProgress = [this] { fs.freeSpace = 1000; };
  std::atomic<bool> diskFull{false};
  std::atomic<bool> closed{false};
  boxes.answer = [&](const ShownBox&) {
    diskFull = true;  // the box stays up until the Close below
    for (int i = 0; i < 500 && !closed; ++i) std::this_thread::sleep_for(10ms);
    return box::kIdOk;
  };
  window.user = [&] {
    for (int i = 0; i < 500 && !diskFull; ++i) std::this_thread::sleep_for(10ms);
    if (closed || !diskFull) return false;
    window.Controller().OnSysCommand(0xF060);
    closed = true;
    return true;
  };
  EXPECT_EQ(Start(), 1603u);
  EXPECT_EQ(
      Shown(),
      (std::vector<std::string>{"Installation Error: Not enough free space for temporary files."}));
  EXPECT_EQ(fs.List("C:\\Temp"), std::vector<std::string>{});
}

// A set that cannot be copied is refused before the user is asked for room
// for it.
TEST_F(FloppyRoute, AnUncopyableSetIsRefusedBeforeTheFreeSpaceCheck) {
  struct Row {
    std::string what, manifest;
    bool ansiProgram = false;
  } rows[] = {
      {"a size near 2^63", "1,Setup.msi,99999999999999999999\r\n"},
      {"a set of 2^31 bytes", "1,Setup.msi,2147483000\r\n2,Data.cab,648\r\n"},
      {"an unsafe entry", "1,Setup.msi,10\r\n2,..\\up.txt,10\r\n"},
      // Past the entries of the run: the whole set goes.
      {"invalid UTF-8 after the byte-order mark",
       "\xEF\xBB\xBF"
       "1,Setup.msi,10\r\n3,Caf\xE9.exe,10\r\n"},
      {"a name the ANSI code page of 9x lacks",
       "\xEF\xBB\xBF"
       "1,Setup.msi,10\r\n2,\u65E5\u672C.txt,10\r\n",
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FloppyWorld w;
    w.text.ansiProgram = row.ansiProgram;
    w.fs.AddFile("D:\\Files.id", row.manifest);
    w.fs.AddFile("D:\\Disk.1", std::string(20, 'x'));
    w.fs.freeSpace = 1000;
    EXPECT_EQ(w.Start(), 1603u);
    EXPECT_EQ(w.Shown(),
              (std::vector<std::string>{
                  "Installation Error: Error copying files from disks. Installation failed."}));
    EXPECT_TRUE(w.tempSpace.shownPaths.empty());
    EXPECT_EQ(w.progress.created, 0);
    EXPECT_EQ(w.fs.List("C:\\Temp"), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace setup
