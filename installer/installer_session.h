// InstallerSession: the one holder of the Installer, Database and View
// objects, the language prefix and the saved user-interface level.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "installer/automation.h"

namespace setup {

class InstallerSession {
 public:
  explicit InstallerSession(AutomationPlatform& platform) : platform_(platform) {}
  InstallerSession(const InstallerSession&) = delete;
  InstallerSession& operator=(const InstallerSession&) = delete;
  // Releases whatever is still open and balances COM; never throws.
  ~InstallerSession();

  void CreateInstaller();
  void OpenDatabase(const std::string& path, int32_t openMode);
  void OpenView(const std::string& sql);
  // False when the view has no further row. For a row whose key begins with
  // "Lang" the code is the rest of the key and the name the row's text;
  // every other row gives an empty name.
  bool FetchLanguage(std::string& name, std::string& code);
  void CloseView();
  // Wine's Database object has no Commit (DISP_E_MEMBERNOTFOUND); the
  // database is opened read-only, so that one answer counts as success.
  void CloseDatabase();
  void SetLanguagePrefix(const std::string& prefix) { languagePrefix_ = prefix; }
  void SetUILevel(int32_t level);
  void InstallProduct(const std::string& packagePath, const std::string& properties);
  // Closes the view and the database, releases every object and balances
  // COM; a failure to close is raised after everything was released.
  void CloseSession();

  bool HasInstaller() const { return installer_ != nullptr; }
  bool HasDatabase() const { return database_ != nullptr; }
  bool HasView() const { return view_ != nullptr; }
  const std::string& LanguagePrefix() const { return languagePrefix_; }
  int32_t SavedUILevel() const { return savedUILevel_; }

 private:
  AutomationPlatform& platform_;
  std::unique_ptr<InstallerObject> installer_;
  std::unique_ptr<DatabaseObject> database_;
  std::unique_ptr<ViewObject> view_;
  std::string languagePrefix_;
  int32_t savedUILevel_ = 5;
  bool comInitialized_ = false;
};

}  // namespace setup
