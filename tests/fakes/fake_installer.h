// A Windows Installer automation object with packages held in memory: each
// package is a list of UIText rows. Calls are logged; any member can be told
// to fail with a DispatchError.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "installer/automation.h"

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

}  // namespace setup::testing
