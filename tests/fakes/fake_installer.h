// A Windows Installer automation object with packages held in memory: each
// package is a list of UIText rows. Calls are logged; any member can be told
// to fail with a DispatchError.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_system.h"
#include "installer/automation.h"
#include "installer/installer_queue.h"

namespace setup::testing {

struct FakeInstallerState {
  // Package path -> UIText rows (key, text).
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> packages;
  // Rows of every package whose path is not in packages (a folder with a
  // made-up name, for instance); unset: such packages cannot be opened.
  std::optional<std::vector<std::pair<std::string, std::string>>> anyPackage;
  // Members that fail: "CoInitialize", "Create", "OpenDatabase", "OpenView",
  // "Execute", "Fetch", "StringData", "ViewClose", "Commit", "GetUILevel",
  // "PutUILevel", "InstallProduct".
  std::set<std::string> failing;
  int32_t commitResult = kDispErrorMemberNotFound;  // what a failing Commit raises
  int32_t coInitializeResult = 0;                   // S_OK
  int32_t uiLevel = 5;

  // Runs before each InstallProduct; may throw to fail it.
  std::function<void(const std::string& path)> onInstallProduct;

  std::vector<std::string> calls;  // "OpenDatabase(path,0)", "PutUILevel(34)", ...
  int comDepth = 0;                // CoInitialize minus CoUninitialize
  int liveObjects = 0;             // installer, database, view and record objects alive
};

class FakeAutomation : public AutomationPlatform {
 public:
  FakeAutomation() = default;
  int32_t InitializeCom() override;
  void UninitializeCom() override;
  std::unique_ptr<InstallerObject> CreateInstallerObject() override;

  FakeInstallerState state;
};

// Another installation that holds the installer's mutex until heldUntil on
// clock; the user presses Cancel at cancelAt in a wait that shows the
// window.
class FakeInstallerMutex : public InstallerMutex {
 public:
  explicit FakeInstallerMutex(FakeClock& clock) : clock_(clock) {}
  WaitEnd Wait(uint32_t milliseconds, bool untilFree, bool showWindow) override;

  uint32_t heldUntil = 0;
  std::optional<uint32_t> cancelAt;
  // Every wait that did not end at once: "wait for the mutex 600000 ms,
  // window" or "pause 1000 ms, unseen".
  std::vector<std::string> waits;

 private:
  FakeClock& clock_;
  std::size_t calls_ = 0;  // a million throw: a wait without end
};

}  // namespace setup::testing
