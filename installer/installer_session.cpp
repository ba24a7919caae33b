#include "installer/installer_session.h"

#include "support/text.h"

namespace setup {

InstallerSession::~InstallerSession() {
  try {
    CloseSession();
  } catch (...) {
    // Destruction must not throw; CloseSession released everything anyway.
  }
}

void InstallerSession::CreateInstaller() {
  int32_t result = platform_.InitializeCom();
  if (result < 0) throw AutomationError{};
  comInitialized_ = true;
  std::unique_ptr<InstallerObject> installer = platform_.CreateInstallerObject();
  if (!installer) throw AutomationError{};
  installer_ = std::move(installer);
}

void InstallerSession::OpenDatabase(const std::string& path, int32_t openMode) {
  if (openMode < 0) openMode = 0;
  if (database_ || !installer_) throw AutomationError{};
  std::unique_ptr<DatabaseObject> database = installer_->OpenDatabase(path, openMode);
  if (!database) throw AutomationError{};
  database_ = std::move(database);
}

void InstallerSession::OpenView(const std::string& sql) {
  if (!database_) throw AutomationError{};
  std::unique_ptr<ViewObject> view = database_->OpenView(sql);
  if (!view) throw AutomationError{};
  view_ = std::move(view);
  view_->Execute();
}

bool InstallerSession::FetchLanguage(std::string& name, std::string& code) {
  name.clear();
  if (!view_) throw AutomationError{};
  std::unique_ptr<RecordObject> record = view_->Fetch();
  if (!record) return false;
  try {
    code.clear();
    std::string key = record->StringData(1);
    if (!key.empty() && FindText(key, "Lang") == 0) {
      code = key.substr(4);
      name = record->StringData(2);
    }
  } catch (...) {
    // A row whose fields cannot be read counts as a row without a language.
    name.clear();
  }
  return true;
}

void InstallerSession::CloseView() {
  if (!view_) throw AutomationError{};
  view_->Close();
  view_.reset();
}

void InstallerSession::CloseDatabase() {
  if (!database_) throw AutomationError{};
  try {
    database_->Commit();
  } catch (const DispatchError& error) {
    if (error.Result() != kDispErrorMemberNotFound) throw;
  }
  database_.reset();
}

void InstallerSession::SetUILevel(int32_t level) {
  if (!installer_) return;
  savedUILevel_ = installer_->GetUILevel();
  installer_->PutUILevel(level);
}

void InstallerSession::InstallProduct(const std::string& packagePath,
                                      const std::string& properties) {
  if (!installer_) throw AutomationError{};
  installer_->InstallProduct(packagePath, properties);
}

void InstallerSession::CloseSession() {
  // Everything is released and COM balanced even when closing the view or
  // the database fails; that failure then goes on to the caller.
  struct Release {
    InstallerSession& session;
    ~Release() {
      session.view_.reset();
      session.database_.reset();
      session.installer_.reset();
      if (session.comInitialized_) {
        session.comInitialized_ = false;
        session.platform_.UninitializeCom();
      }
    }
  } release{*this};
  if (view_) CloseView();
  if (database_) CloseDatabase();
}

}  // namespace setup
