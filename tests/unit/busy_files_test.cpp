#include "support/busy_files.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "fakes/fake_file_system.h"
#include "fakes/fake_system.h"

namespace setup {
namespace {

using namespace setup::testing;

TEST(MomentaryRefusals, SharingAndLockAlwaysAccessDeniedOnlyForFreshCopies) {
  struct Row {
    uint32_t error;
    bool justCopied;
    bool momentary;
  } rows[] = {
      {syserror::kSharingViolation, false, true}, {syserror::kSharingViolation, true, true},
      {syserror::kLockViolation, false, true},    {syserror::kAccessDenied, false, false},
      {syserror::kAccessDenied, true, true},      {syserror::kFileNotFound, true, false},
      {syserror::kDirNotEmpty, true, false},      {0, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.error) + (row.justCopied ? " just copied" : ""));
    EXPECT_EQ(IsMomentaryRefusal(row.error, row.justCopied), row.momentary);
  }
}

TEST(RetryBudget, PausesGrowAndTheTriesEndThirtySecondsAfterTheFirstRefusal) {
  const std::vector<uint32_t> allPauses = {100,  200,  400,  800,  1600, 2000, 2000,
                                           2000, 2000, 2000, 2000, 2000, 2000, 2000,
                                           2000, 2000, 2000, 2000, 900};
  struct Row {
    std::string what;
    uint32_t clockStart;
    int refusals;  // then success; -1: refused for good
    std::vector<uint32_t> pauses;
    bool retried;  // whether the last refusal was tried again
  } rows[] = {
      {"three refusals", 0, 3, {100, 200, 400}, true},
      {"refused for good", 0, -1, allPauses, false},
      {"refused for good across the wrap of the tick count", 0xFFFFFFFFu - 5000, -1, allPauses,
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeClock clock;
    clock.now = row.clockStart;
    RetryBudget budget(clock);
    bool retried = true;
    for (int refusal = 0; retried && refusal != row.refusals; ++refusal) {
      retried = budget.PauseForRetry();
    }
    EXPECT_EQ(clock.sleeps, row.pauses);
    EXPECT_EQ(retried, row.retried);
  }
  FakeClock clock;
  RetryBudget budget(clock);
  while (budget.PauseForRetry()) {
  }
  EXPECT_EQ(std::accumulate(clock.sleeps.begin(), clock.sleeps.end(), 0u), RetryBudget::kBudget);
}

// The removals of what a run copied, with a scanner holding files.
TEST(PatientRemovals, WaitOutAHoldButNotAFailure) {
  const std::string folder = "C:\\Temp\\run\\Bootstrap";
  const std::string file = folder + "\\prereq.exe";
  const std::string package = folder + "\\Setup.msi";
  struct Row {
    std::string what;
    // The scanner: the error of each refused operation ("delete", "rmdir")
    // while the clock is before the time.
    std::function<uint32_t(const std::string& op, const std::string& path, uint32_t now)> refuse;
    uint32_t pendingUntil;  // a delete waits for the scanner until then
    bool otherFile;         // another program's file in the folder
    bool removed;           // the file and the folder are gone
    uint32_t time;          // when the removals ended
    bool pendingDeleteSucceedsAgain = false;
  } rows[] = {
      {"nothing holds them", nullptr, 0, false, true, 0},
      {"one file held for 6 s",
       [&](const std::string&, const std::string& path, uint32_t now) -> uint32_t {
         return path == file && now < 6000 ? syserror::kSharingViolation : 0;
       },
       0, false, true, 7100},
      {"both files held for good: one budget for all",
       [](const std::string& op, const std::string&, uint32_t) -> uint32_t {
         return op == "delete" ? syserror::kSharingViolation : 0;
       },
       0, false, false, RetryBudget::kBudget},
      {"access denied to a fresh copy for 1 s",
       [](const std::string& op, const std::string&, uint32_t now) -> uint32_t {
         return op == "delete" && now < 1000 ? syserror::kAccessDenied : 0;
       },
       0, false, true, 1500},
      {"the folder held open for 1 s",
       [](const std::string& op, const std::string&, uint32_t now) -> uint32_t {
         return op == "rmdir" && now < 1000 ? syserror::kLockViolation : 0;
       },
       0, false, true, 1500},
      {"deletes pending for 4 s keep the folder", nullptr, 4000, false, true, 5100},
      {"deletes pending for 4 s, a second delete granted (Wine)", nullptr, 4000, false, true, 5100,
       true},
      {"another program's file stays, at once", nullptr, 0, true, false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeFileSystem fs;
    FakeClock clock;
    fs.AddFile(file, "b");
    fs.AddFile(package, "p");
    if (row.otherFile) fs.AddFile(folder + "\\its.log");
    if (row.refuse) {
      fs.refuse = [&](const std::string& op, const std::string& path) {
        return row.refuse(op, path, clock.now);
      };
    }
    fs.deletePending = [&](const std::string&) { return clock.now < row.pendingUntil; };
    fs.pendingDeleteSucceedsAgain = row.pendingDeleteSucceedsAgain;
    PatientFileSystem patient(fs, clock);
    uint32_t error = 0;
    const bool programRemoved = patient.RemoveFile(file, error);
    const bool packageRemoved = patient.RemoveFile(package, error);
    const bool folderRemoved = patient.RemoveFolder(folder, error);
    EXPECT_EQ(programRemoved && packageRemoved && folderRemoved, row.removed);
    EXPECT_EQ(fs.Exists(folder), !row.removed);
    EXPECT_EQ(clock.now, row.time);
  }
}

}  // namespace
}  // namespace setup
