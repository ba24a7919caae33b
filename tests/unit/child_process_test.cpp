#include "support/child_process.h"

#include <gtest/gtest.h>

#include "fakes/fake_system.h"

namespace setup {
namespace {

using namespace setup::testing;

constexpr auto kSignalled = WaitResult::Signalled;
constexpr auto kTimedOut = WaitResult::TimedOut;
constexpr auto kFailed = WaitResult::Failed;

TEST(ChildWait, EndsOnlyWhenTheChildHasEnded) {
  struct Row {
    std::string what;
    std::vector<WaitStep> steps;
    uint32_t code;
    std::vector<uint32_t> pauses;
  } rows[] = {
      {"failing waits are retried after a pause",
       {{kFailed, 259}, {kFailed, 259}, {kSignalled, 7}},
       7,
       {500, 500}},
      {"time-outs wait by themselves",
       {{kTimedOut, 259}, {kTimedOut, 259}, {kSignalled, 0}},
       0,
       {}},
      {"a signalled 259 is the child's own code", {{kSignalled, 259}}, 259, {}},
      {"a code other than 259 after a failed wait", {{kFailed, 3}}, 3, {}},
      {"a code other than 259 at a time-out", {{kTimedOut, 5}}, 5, {}},
      {"an unreadable code of an ended child", {{kSignalled, std::nullopt}}, 0, {}},
      {"an unreadable code of a running child",
       {{kFailed, std::nullopt}, {kTimedOut, std::nullopt}, {kSignalled, 4}},
       4,
       {500}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeProcessStarter starter;
    starter.steps = row.steps;
    EXPECT_EQ(RunChildProcess(starter, "C:\\B\\p.exe", "/q"), row.code);
    EXPECT_EQ(starter.polls, row.steps.size());
    EXPECT_EQ(starter.pauses, row.pauses);
  }
}

// Wine never answers ERROR_ELEVATION_REQUIRED, so this is known from the
// fake alone.
TEST(ChildStart, OnlyAProgramThatNeedsElevationGoesThroughTheShell) {
  struct Row {
    uint32_t createError, shellError;
    bool started;
    std::vector<std::string> calls;
  } rows[] = {
      {0, 0, true, {"Create C:\\B\\p.exe| /x"}},
      {740, 0, true, {"Create C:\\B\\p.exe| /x", "ShellExecute C:\\B\\p.exe| /x"}},
      {740, 1223, false, {"Create C:\\B\\p.exe| /x", "ShellExecute C:\\B\\p.exe| /x"}},
      {5, 0, false, {"Create C:\\B\\p.exe| /x"}},
      {2, 0, false, {"Create C:\\B\\p.exe| /x"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.createError) + "/" + std::to_string(row.shellError));
    FakeProcessStarter starter;
    starter.createError = row.createError;
    starter.shellError = row.shellError;
    starter.steps = {{kSignalled, 9}};
    if (row.started) {
      EXPECT_EQ(RunChildProcess(starter, "C:\\B\\p.exe", " /x"), 9u);
    } else {
      EXPECT_THROW(RunChildProcess(starter, "C:\\B\\p.exe", " /x"), ProcessLaunchError);
    }
    EXPECT_EQ(starter.calls, row.calls);
  }
}

}  // namespace
}  // namespace setup
