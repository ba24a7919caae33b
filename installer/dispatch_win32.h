// The dispatch wrappers of the Windows Installer automation objects. Each
// owns one IDispatch reference and calls the published members by their
// fixed DISPIDs through IDispatch::Invoke, never by name. Every failing
// invocation throws DispatchError.
#pragma once

#include "installer/automation.h"
#include "support/handles_win32.h"

namespace setup::win32 {

class MsiRecord final : public RecordObject {
 public:
  explicit MsiRecord(ComPtr<IDispatch> object) : object_(std::move(object)) {}
  std::string StringData(int32_t field) override;

 private:
  ComPtr<IDispatch> object_;
};

class MsiView final : public ViewObject {
 public:
  explicit MsiView(ComPtr<IDispatch> object) : object_(std::move(object)) {}
  void Execute() override;
  // Null when no row is left.
  std::unique_ptr<RecordObject> Fetch() override;
  void Close() override;

 private:
  ComPtr<IDispatch> object_;
};

class MsiDatabase final : public DatabaseObject {
 public:
  explicit MsiDatabase(ComPtr<IDispatch> object) : object_(std::move(object)) {}
  std::unique_ptr<ViewObject> OpenView(const std::string& sql) override;
  void Commit() override;

 private:
  ComPtr<IDispatch> object_;
};

class MsiInstaller final : public InstallerObject {
 public:
  explicit MsiInstaller(ComPtr<IDispatch> object) : object_(std::move(object)) {}
  std::unique_ptr<DatabaseObject> OpenDatabase(const std::string& path, int32_t openMode) override;
  int32_t GetUILevel() override;
  void PutUILevel(int32_t level) override;
  void InstallProduct(const std::string& packagePath, const std::string& propertyValues) override;

 private:
  ComPtr<IDispatch> object_;
};

// COM on the calling thread (a single-threaded apartment) and the
// in-process Installer object.
class ComAutomation final : public AutomationPlatform {
 public:
  int32_t InitializeCom() override;
  void UninitializeCom() override;
  std::unique_ptr<InstallerObject> CreateInstallerObject() override;
};

}  // namespace setup::win32
