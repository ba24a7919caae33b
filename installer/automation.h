// The Windows Installer automation objects as the installer logic sees them.
// SETUP.EXE implements these with the dispatch wrappers MsiInstaller,
// MsiDatabase, MsiView and MsiRecord (IDispatch::Invoke with the published
// DISPIDs); the tests use fakes. Every failing call throws DispatchError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "support/messages.h"

namespace setup {

// An object is missing, a database is already open, or COM or the Installer
// object could not be set up. Carries no text; each caller maps it to its
// own message.
struct AutomationError {};

// A failed invocation: the HRESULT and the server's description, or else the
// system's message for the HRESULT.
class DispatchError : public FrameworkException {
 public:
  DispatchError(int32_t result, std::string text) : result_(result), text_(std::move(text)) {}
  int32_t Result() const { return result_; }
  std::string Text() const override { return text_; }

 private:
  int32_t result_;
  std::string text_;
};

constexpr int32_t kDispErrorMemberNotFound = static_cast<int32_t>(0x80020003u);
constexpr int32_t kDispErrorException = static_cast<int32_t>(0x80020009u);

class RecordObject {
 public:
  virtual ~RecordObject() = default;
  virtual std::string StringData(int32_t field) = 0;  // Record.StringData (1)
};

class ViewObject {
 public:
  virtual ~ViewObject() = default;
  virtual void Execute() = 0;                         // View.Execute (1), null params
  virtual std::unique_ptr<RecordObject> Fetch() = 0;  // View.Fetch (2); null: no row left
  virtual void Close() = 0;                           // View.Close (4)
};

class DatabaseObject {
 public:
  virtual ~DatabaseObject() = default;
  virtual std::unique_ptr<ViewObject> OpenView(const std::string& sql) = 0;  // (3)
  virtual void Commit() = 0;                                                 // (4)
};

class InstallerObject {
 public:
  virtual ~InstallerObject() = default;
  virtual std::unique_ptr<DatabaseObject> OpenDatabase(const std::string& path,
                                                       int32_t openMode) = 0;  // (4)
  virtual int32_t GetUILevel() = 0;                                            // (6) get
  virtual void PutUILevel(int32_t level) = 0;                                  // (6) put
  virtual void InstallProduct(const std::string& packagePath,
                              const std::string& propertyValues) = 0;  // (8)
};

// COM for the calling thread and the creation of the Installer object.
class AutomationPlatform {
 public:
  virtual ~AutomationPlatform() = default;
  // CoInitialize(NULL): the HRESULT (S_FALSE, 1, when already initialised).
  virtual int32_t InitializeCom() = 0;
  virtual void UninitializeCom() = 0;
  // CLSIDFromProgID("WindowsInstaller.Installer") and CoCreateInstance;
  // throws AutomationError on failure.
  virtual std::unique_ptr<InstallerObject> CreateInstallerObject() = 0;
};

}  // namespace setup
